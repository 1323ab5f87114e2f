#pragma once
// The calls of the Windows multimedia MIDI services (winmm) that WinMmBackend makes, as a table of
// functions, with the system's types spelt so that any compiler knows them. On Windows the table calls
// winmm.dll (systemApi, WinMmSystem.cpp); the tests hand in a fake that behaves as winmm is documented
// to, so the backend is tested on every system, Windows or not.
#include <cstdint>
#include <functional>
#include <string>

#if defined(_WIN32)
#define KALDO_WINMM_CALLBACK __stdcall
#else
#define KALDO_WINMM_CALLBACK
#endif

namespace kaldo::midi::winmm {

using Result = std::uint32_t;  // MMRESULT
using Handle = void*;          // HMIDIIN, HMIDIOUT

inline constexpr Result kNoError = 0;        // MMSYSERR_NOERROR
inline constexpr Result kBadDeviceId = 2;    // MMSYSERR_BADDEVICEID
inline constexpr Result kAllocated = 4;      // MMSYSERR_ALLOCATED: another program has the device
inline constexpr Result kInvalidHandle = 5;  // MMSYSERR_INVALHANDLE
inline constexpr Result kNoMemory = 7;       // MMSYSERR_NOMEM
inline constexpr Result kUnprepared = 64;    // MIDIERR_UNPREPARED
inline constexpr Result kStillPlaying = 65;  // MIDIERR_STILLPLAYING: a buffer is still queued
inline constexpr Result kNotReady = 67;      // MIDIERR_NOTREADY: the device is busy

// Header flags (MHDR_*).
inline constexpr std::uint32_t kDone = 0x1;      // the driver has handed the buffer back
inline constexpr std::uint32_t kPrepared = 0x2;  // prepared, until unprepared
inline constexpr std::uint32_t kInQueue = 0x4;   // with the driver

// Notifications to a callback (MIM_*, MOM_*).
inline constexpr unsigned kInOpen = 0x3C1;
inline constexpr unsigned kInClose = 0x3C2;
inline constexpr unsigned kInData = 0x3C3;       // a short message, packed into the first parameter
inline constexpr unsigned kInLongData = 0x3C4;   // a System Exclusive buffer is back: the first parameter
inline constexpr unsigned kInError = 0x3C5;      // an invalid short message
inline constexpr unsigned kInLongError = 0x3C6;  // a buffer is back holding an invalid or cut message
inline constexpr unsigned kOutOpen = 0x3C7;
inline constexpr unsigned kOutClose = 0x3C8;
inline constexpr unsigned kOutDone = 0x3C9;  // a System Exclusive buffer has left: the first parameter

// MIDIHDR field for field, packed as the system's header declares it, so the system's functions can
// be handed it (WinMmSystem.cpp checks).
#pragma pack(push, 1)
struct Header {
    char* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwBytesRecorded = 0;
    std::uintptr_t dwUser = 0;
    std::uint32_t dwFlags = 0;
    Header* lpNext = nullptr;
    std::uintptr_t reserved = 0;
    std::uint32_t dwOffset = 0;
    std::uintptr_t dwReserved[8] = {};
};
#pragma pack(pop)

// MidiInProc and MidiOutProc. The system calls it on a thread of its own, where only a few of its
// functions may be called (no buffer handling, no closing): it should note what came and return.
using Callback = void(KALDO_WINMM_CALLBACK*)(Handle handle, unsigned message, std::uintptr_t instance,
                                             std::uintptr_t first, std::uintptr_t second);

struct Api {
    std::function<unsigned()> outGetNumDevs;
    // The device's name (szPname of midiOutGetDevCapsW): at most 31 characters.
    std::function<Result(unsigned device, std::u16string& name)> outGetDevCaps;
    // midiOutOpen with CALLBACK_FUNCTION.
    std::function<Result(Handle* handle, unsigned device, Callback callback, std::uintptr_t instance)>
        outOpen;
    std::function<Result(Handle)> outClose;
    std::function<Result(Handle)> outReset;
    std::function<Result(Handle, std::uint32_t message)> outShortMsg;
    std::function<Result(Handle, Header*)> outPrepareHeader;
    std::function<Result(Handle, Header*)> outUnprepareHeader;
    std::function<Result(Handle, Header*)> outLongMsg;

    std::function<unsigned()> inGetNumDevs;
    std::function<Result(unsigned device, std::u16string& name)> inGetDevCaps;
    // midiInOpen with CALLBACK_FUNCTION.
    std::function<Result(Handle* handle, unsigned device, Callback callback, std::uintptr_t instance)> inOpen;
    std::function<Result(Handle)> inClose;
    std::function<Result(Handle)> inStart;
    std::function<Result(Handle)> inReset;
    std::function<Result(Handle, Header*)> inPrepareHeader;
    std::function<Result(Handle, Header*)> inUnprepareHeader;
    std::function<Result(Handle, Header*)> inAddBuffer;
};

#if defined(_WIN32)
// The table over winmm.dll.
Api systemApi();
#endif

}  // namespace kaldo::midi::winmm
