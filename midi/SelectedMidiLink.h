#pragma once
// The engine's MIDI side on real ports: sends through MidiOut1, readiness and commands from the
// device selection. Used by the desktop program and by kaldo-flash.
#include "MidiLink.h"
#include "MidiSelection.h"
#include "TMidiOut.h"

namespace kaldo::midi {

class SelectedMidiLink : public MidiLink {
public:
    SelectedMidiLink(TMidiOut& out, MidiSelection& selection) : out_(out), selection_(selection) {}

    bool outPortReady() const override { return selection_.outPortReady; }
    bool inPortReady() const override { return selection_.inPortReady; }
    bool sysEx(const std::uint8_t* data, std::size_t length) override { return out_.SysEx(data, length); }
    void put2(std::uint8_t status, std::uint8_t first) override { out_.Put2(status, first); }
    void deSelectCurrentMidi() override { selection_.deSelectCurrentMidi(); }
    void populateMidiSelect() override { selection_.populateMidiSelect(); }
    void reCheckForMidiDevices() override { selection_.ReCheckforMididevices(); }
    int platformOutputCount() override { return selection_.platformOutputCount(); }

private:
    TMidiOut& out_;
    MidiSelection& selection_;
};

}  // namespace kaldo::midi
