#pragma once
// The platform's MIDI system as TMidiOut and TMidiIn see it: numbered devices with names, and
// connections to one of them. The real one is RtMidi (RtMidiBackend); the tests use a fake, so the
// components and the device selection are tested without a MIDI system.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kaldo::midi {

// Results of an open or a close, in the platform's numbering (0 = success) so that callers that
// look at openResult see the values they know.
inline constexpr std::uint32_t kResultOk = 0;
inline constexpr std::uint32_t kResultError = 1;          // the device could not be opened
inline constexpr std::uint32_t kResultBadDeviceId = 2;    // no such device (any more)
inline constexpr std::uint32_t kResultInvalidHandle = 5;  // closing a port that never opened

class MidiOutConnection {
public:
    // Destruction closes the port; anything already accepted still leaves first.
    virtual ~MidiOutConnection() = default;
    // One to three bytes. False when the platform refused them.
    virtual bool sendShort(std::span<const std::uint8_t> message) = 0;
    // One whole System Exclusive block (F0 ... F7). Returns once every byte has left, true, or false
    // when the platform refused or lost part of it or when deadline passed first.
    virtual bool sendSysEx(std::span<const std::uint8_t> block, std::chrono::steady_clock::time_point deadline) = 0;
};

// Receives the bytes of one incoming message as the platform delivers it: a short message, a whole
// System Exclusive message, or a piece of one. Called on the platform's MIDI thread. An empty portion
// (kInputLost) says that input was lost at this point, as when the system's input queue overflowed:
// a message in progress will not arrive whole, whatever follows.
using MidiReceiver = std::function<void(std::span<const std::uint8_t> bytes)>;
inline constexpr std::span<const std::uint8_t> kInputLost{};

class MidiInConnection {
public:
    // Destruction closes the port; once it returns the receiver is not called again.
    virtual ~MidiInConnection() = default;
};

// Watches the system's devices for as long as it lives; once destroyed, it calls nobody again.
class DeviceWatch {
public:
    virtual ~DeviceWatch() = default;
};

template <class Connection>
struct Opened {
    std::unique_ptr<Connection> connection;  // null when the open failed
    std::uint32_t result = kResultOk;
};

class MidiBackend {
public:
    virtual ~MidiBackend() = default;

    // Device names in device order, every device the platform has (uncapped).
    virtual std::vector<std::string> outputNames() = 0;
    virtual std::vector<std::string> inputNames() = 0;

    // Opens the device of that name. By name, not number: on JACK the numbering shifts whenever a
    // port comes or goes, our own included.
    virtual Opened<MidiOutConnection> openOutput(const std::string& device) = 0;
    virtual Opened<MidiInConnection> openInput(const std::string& device, MidiReceiver receiver) = 0;

    // Calls changed, on a thread of the system's, whenever devices may have come or gone: ports
    // appear and go for many reasons, ours among them, so the caller compares the names. Null when
    // this system cannot tell; then the lists change only when someone asks again.
    virtual std::unique_ptr<DeviceWatch> watchDevices(std::function<void()> changed) {
        (void)changed;
        return nullptr;
    }
};

}  // namespace kaldo::midi
