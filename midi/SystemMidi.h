#pragma once
// The MIDI system this machine offers. On Linux: the ALSA sequencer where it exists, else a running
// JACK server (the one JACK_DEFAULT_SERVER names, or the default one), else none: no devices, every
// open fails, nothing crashes. Elsewhere RtMidi's own choice (CoreMIDI). While none was found, every
// listing looks again, so a JACK server started after the program is found by the next re-check.
#include <memory>
#include <mutex>
#include <string>

#include "MidiBackend.h"

namespace kaldo::midi {

class SystemMidi : public MidiBackend {
public:
    // clientName names our ports on the system ("kaldo-updater", "kaldo-flash").
    explicit SystemMidi(std::string clientName);

    std::vector<std::string> outputNames() override;
    std::vector<std::string> inputNames() override;
    Opened<MidiOutConnection> openOutput(const std::string& device) override;
    Opened<MidiInConnection> openInput(const std::string& device, MidiReceiver receiver) override;
    std::unique_ptr<DeviceWatch> watchDevices(std::function<void()> changed) override;

    // Whether a MIDI system was found (looking again when none was).
    bool found();
    // What was chosen, for people: "ALSA", "JACK", "none", ...
    std::string name();

private:
    std::shared_ptr<MidiBackend> current();

    std::string clientName_;
    std::mutex mutex_;
    std::shared_ptr<MidiBackend> chosen_;  // null while no system was found
    std::string name_ = "none";
};

std::shared_ptr<SystemMidi> systemMidi(const std::string& clientName);

// What a fresh look at the machine finds, for people: "ALSA", "JACK", "none", ...
std::string systemMidiName();

}  // namespace kaldo::midi
