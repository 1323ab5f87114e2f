#pragma once
// The MIDI system through RtMidi, on one of its APIs (the ALSA sequencer or JACK on Linux, WinMM,
// CoreMIDI). Our own ports (those of clients named after clientName) are left out of the device
// lists, so that opening our input does not add a device to the output list. On the ALSA sequencer
// RtMidi itself is not used: its ports are listed by one long-lived client (AlsaPortList) and opened
// through clients of our own (AlsaSequencerOutput, AlsaSequencerInput).
#include <RtMidi.h>

#include <memory>
#include <string>

#include "MidiBackend.h"

namespace kaldo::midi {

class AlsaPortList;

class RtMidiBackend : public MidiBackend {
public:
    RtMidiBackend(RtMidi::Api api, std::string clientName);
    ~RtMidiBackend() override;

    std::vector<std::string> outputNames() override;
    std::vector<std::string> inputNames() override;
    Opened<MidiOutConnection> openOutput(const std::string& device) override;
    Opened<MidiInConnection> openInput(const std::string& device, MidiReceiver receiver) override;
    std::unique_ptr<DeviceWatch> watchDevices(std::function<void()> changed) override;
    std::string systemName() const override;

private:
    RtMidi::Api api_;
    std::string clientName_;
    std::unique_ptr<AlsaPortList> alsaPorts_;  // on ALSA only
};

// An API's name for people: "ALSA", "JACK", "CoreMIDI", "WinMM"; "none" for RtMidi's dummy.
std::string apiName(RtMidi::Api api);

}  // namespace kaldo::midi
