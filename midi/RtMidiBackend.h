#pragma once
// The MIDI system through RtMidi, on one of its APIs (the ALSA sequencer or JACK on Linux, WinMM,
// CoreMIDI). Our own ports (those of clients named after clientName) are left out of the device
// lists, so that opening our input does not add a device to the output list.
#include <RtMidi.h>

#include <string>

#include "MidiBackend.h"

namespace kaldo::midi {

class RtMidiBackend : public MidiBackend {
public:
    RtMidiBackend(RtMidi::Api api, std::string clientName);

    std::vector<std::string> outputNames() override;
    std::vector<std::string> inputNames() override;
    Opened<MidiOutConnection> openOutput(const std::string& device) override;
    Opened<MidiInConnection> openInput(const std::string& device, MidiReceiver receiver) override;
    std::unique_ptr<DeviceWatch> watchDevices(std::function<void()> changed) override;
    std::string systemName() const override;

private:
    RtMidi::Api api_;
    std::string clientName_;
};

// An API's name for people: "ALSA", "JACK", "CoreMIDI", "WinMM"; "none" for RtMidi's dummy.
std::string apiName(RtMidi::Api api);

}  // namespace kaldo::midi
