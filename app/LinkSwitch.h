#pragma once
// The engine's MIDI side as the main window hands it over: the selected ports by default, or another
// link (the in-process simulated amp of the tests). The engine is built before the selection it
// reaches through here, so the target is set afterwards.
#include "MidiLink.h"

namespace kaldo {

class LinkSwitch : public MidiLink {
public:
    void setTarget(MidiLink* target) { target_ = target; }

    bool outPortReady() const override { return target_->outPortReady(); }
    bool inPortReady() const override { return target_->inPortReady(); }
    bool sysEx(const std::uint8_t* data, std::size_t length) override { return target_->sysEx(data, length); }
    void put2(std::uint8_t status, std::uint8_t first) override { target_->put2(status, first); }
    void deSelectCurrentMidi() override { target_->deSelectCurrentMidi(); }
    void populateMidiSelect() override { target_->populateMidiSelect(); }
    void reCheckForMidiDevices() override { target_->reCheckForMidiDevices(); }
    int platformOutputCount() override { return target_->platformOutputCount(); }

private:
    MidiLink* target_ = nullptr;
};

}  // namespace kaldo
