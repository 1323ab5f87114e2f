#pragma once
// The amp's end of a USB MIDI cable as its firmware has it: a raw MIDI device, bytes in and bytes out,
// no sequencer and no message boundaries. Under the kernel rig that is the USB gadget's own card
// ("fmidi"), and the gadget's configfs folder plugs the amp out of the computer and in again (its UDC
// file written empty, then with the controller's name), as an amp restarting into new code does.
#include <alsa/asoundlib.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <thread>

namespace kaldo::sim {

class RawMidiPort {
public:
    using Receive = std::function<void(std::span<const std::uint8_t>)>;

    // device: an ALSA raw MIDI name ("hw:fmidi"). usbGadget: the gadget's configfs folder, bound to its
    // controller now; empty when the amp cannot be unplugged (leaving then only closes the device).
    // receive gets the input on a reader thread, cut where a new message begins. Throws
    // std::runtime_error with what failed.
    RawMidiPort(std::string device, std::string usbGadget, Receive receive);
    ~RawMidiPort();
    RawMidiPort(const RawMidiPort&) = delete;
    RawMidiPort& operator=(const RawMidiPort&) = delete;

    // From one thread at a time. False when the device refused the bytes (it has gone).
    bool send(std::span<const std::uint8_t> message);
    // The amp goes: what it wrote leaves, the device closes, and the gadget is unplugged.
    void leave();
    // Plugged in again: waits for the device to be back (a new card of the same name) and opens it.
    bool comeBack();

    std::string description() const;

private:
    void open();
    void startInput();
    void close();
    void readLoop();

    const std::string device_;
    const std::string gadget_;
    std::string controller_;  // the UDC name the gadget was bound to
    Receive receive_;
    snd_rawmidi_t* in_ = nullptr;
    snd_rawmidi_t* out_ = nullptr;
    int stopPipe_[2] = {-1, -1};  // written to end the reader's poll
    std::thread reader_;
};

}  // namespace kaldo::sim
