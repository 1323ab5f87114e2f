#pragma once
// What the engine needs of the MIDI side: the output component, the readiness flags of the device
// selection and the selection's commands. The desktop program and the command-line tool implement it
// over the real ports; the tests over the in-process simulated amplifier.
#include <cstddef>
#include <cstdint>

namespace kaldo {

class MidiLink {
public:
    virtual ~MidiLink() = default;

    virtual bool outPortReady() const = 0;
    virtual bool inPortReady() const = 0;

    // One System Exclusive block, returning once it has left. False when the block was refused or
    // lost on the way, which the caller must never report as a successful send. Called from the
    // window thread or from the one sender thread, never from both at once.
    virtual bool sysEx(const std::uint8_t* data, std::size_t length) = 0;

    // A two-byte channel message (Program Change).
    virtual void put2(std::uint8_t status, std::uint8_t first) = 0;

    // The device selection's commands.
    virtual void deSelectCurrentMidi() = 0;
    virtual void populateMidiSelect() = 0;
    virtual void reCheckForMidiDevices() = 0;

    // The platform's current count of output devices, uncapped.
    virtual int platformOutputCount() = 0;
};

}  // namespace kaldo
