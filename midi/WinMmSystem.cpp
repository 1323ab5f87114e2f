// The winmm table over winmm.dll (Windows only).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// windows.h first: mmsystem.h builds on its types.
#include <mmsystem.h>

#include <cstddef>
#include <cwchar>

#include "WinMm.h"

namespace kaldo::midi::winmm {

namespace {

// Header is handed to winmm as its MIDIHDR: the two must agree to the byte.
static_assert(sizeof(Header) == sizeof(MIDIHDR));
static_assert(offsetof(Header, lpData) == offsetof(MIDIHDR, lpData));
static_assert(offsetof(Header, dwBufferLength) == offsetof(MIDIHDR, dwBufferLength));
static_assert(offsetof(Header, dwBytesRecorded) == offsetof(MIDIHDR, dwBytesRecorded));
static_assert(offsetof(Header, dwUser) == offsetof(MIDIHDR, dwUser));
static_assert(offsetof(Header, dwFlags) == offsetof(MIDIHDR, dwFlags));
static_assert(offsetof(Header, lpNext) == offsetof(MIDIHDR, lpNext));
static_assert(offsetof(Header, reserved) == offsetof(MIDIHDR, reserved));
static_assert(offsetof(Header, dwOffset) == offsetof(MIDIHDR, dwOffset));
static_assert(offsetof(Header, dwReserved) == offsetof(MIDIHDR, dwReserved));
static_assert(kDone == MHDR_DONE && kPrepared == MHDR_PREPARED && kInQueue == MHDR_INQUEUE);
static_assert(kInData == MIM_DATA && kInLongData == MIM_LONGDATA && kInLongError == MIM_LONGERROR);
static_assert(kOutDone == MOM_DONE && kStillPlaying == MIDIERR_STILLPLAYING &&
              kAllocated == MMSYSERR_ALLOCATED);
static_assert(sizeof(wchar_t) == sizeof(char16_t));

MIDIHDR* system(Header* header) {
    return reinterpret_cast<MIDIHDR*>(header);
}
constexpr UINT kHeaderSize = sizeof(MIDIHDR);

std::u16string nameOf(const WCHAR (&name)[MAXPNAMELEN]) {
    return std::u16string(name, name + wcsnlen(name, MAXPNAMELEN));
}

}  // namespace

Api systemApi() {
    Api api;
    api.outGetNumDevs = [] { return midiOutGetNumDevs(); };
    api.outGetDevCaps = [](unsigned device, std::u16string& name) {
        MIDIOUTCAPSW caps{};
        const MMRESULT result = midiOutGetDevCapsW(device, &caps, sizeof caps);
        if (result == MMSYSERR_NOERROR) name = nameOf(caps.szPname);
        return result;
    };
    api.outOpen = [](Handle* handle, unsigned device, Callback callback, std::uintptr_t instance) {
        HMIDIOUT out = nullptr;
        const MMRESULT result =
            midiOutOpen(&out, device, reinterpret_cast<DWORD_PTR>(callback), instance, CALLBACK_FUNCTION);
        *handle = out;
        return result;
    };
    api.outClose = [](Handle h) { return midiOutClose(static_cast<HMIDIOUT>(h)); };
    api.outReset = [](Handle h) { return midiOutReset(static_cast<HMIDIOUT>(h)); };
    api.outShortMsg = [](Handle h, std::uint32_t message) {
        return midiOutShortMsg(static_cast<HMIDIOUT>(h), message);
    };
    api.outPrepareHeader = [](Handle h, Header* header) {
        return midiOutPrepareHeader(static_cast<HMIDIOUT>(h), system(header), kHeaderSize);
    };
    api.outUnprepareHeader = [](Handle h, Header* header) {
        return midiOutUnprepareHeader(static_cast<HMIDIOUT>(h), system(header), kHeaderSize);
    };
    api.outLongMsg = [](Handle h, Header* header) {
        return midiOutLongMsg(static_cast<HMIDIOUT>(h), system(header), kHeaderSize);
    };

    api.inGetNumDevs = [] { return midiInGetNumDevs(); };
    api.inGetDevCaps = [](unsigned device, std::u16string& name) {
        MIDIINCAPSW caps{};
        const MMRESULT result = midiInGetDevCapsW(device, &caps, sizeof caps);
        if (result == MMSYSERR_NOERROR) name = nameOf(caps.szPname);
        return result;
    };
    api.inOpen = [](Handle* handle, unsigned device, Callback callback, std::uintptr_t instance) {
        HMIDIIN in = nullptr;
        const MMRESULT result =
            midiInOpen(&in, device, reinterpret_cast<DWORD_PTR>(callback), instance, CALLBACK_FUNCTION);
        *handle = in;
        return result;
    };
    api.inClose = [](Handle h) { return midiInClose(static_cast<HMIDIIN>(h)); };
    api.inStart = [](Handle h) { return midiInStart(static_cast<HMIDIIN>(h)); };
    api.inReset = [](Handle h) { return midiInReset(static_cast<HMIDIIN>(h)); };
    api.inPrepareHeader = [](Handle h, Header* header) {
        return midiInPrepareHeader(static_cast<HMIDIIN>(h), system(header), kHeaderSize);
    };
    api.inUnprepareHeader = [](Handle h, Header* header) {
        return midiInUnprepareHeader(static_cast<HMIDIIN>(h), system(header), kHeaderSize);
    };
    api.inAddBuffer = [](Handle h, Header* header) {
        return midiInAddBuffer(static_cast<HMIDIIN>(h), system(header), kHeaderSize);
    };
    return api;
}

}  // namespace kaldo::midi::winmm
