#pragma once
// The simulated amp's two virtual MIDI ports, for the updater to find among its devices: an input the
// updater sends to and an output it listens on, both carrying the given name ("KALDO Amp Sim In:in" and
// "KALDO Amp Sim Out:out"; each port is a client of its own, and JACK would rename a second client of
// the same name). The ALSA sequencer where this system has one, else JACK.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

class RtMidiIn;
class RtMidiOut;

namespace kaldo::sim {

class AmpPorts {
public:
    using Receive = std::function<void(std::span<const std::uint8_t>)>;

    // Opens both ports; receive then gets every piece of input on the MIDI thread. Throws
    // std::runtime_error with the backend's words when a port cannot be opened.
    AmpPorts(const std::string& name, Receive receive);
    ~AmpPorts();

    // From one thread at a time. False when the backend refused the message.
    bool send(std::span<const std::uint8_t> message);
    // Both ports disappear from the system; nothing is received or sent afterwards.
    void close();

    const std::string& apiName() const { return apiName_; }

    // What RtMidi last reported on one port.
    struct ErrorNote {
        bool failed = false;
        std::string text;
    };

private:
    static void onInput(double, std::vector<unsigned char>* message, void* self);

    Receive receive_;
    std::string apiName_;
    ErrorNote inNote_;   // written on the MIDI thread once open; looked at only while opening
    ErrorNote outNote_;  // written and read by the sending thread
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
};

}  // namespace kaldo::sim
