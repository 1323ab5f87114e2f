#include "MidiSelection.h"

#include <cstdio>

#include "Memo.h"
#include "UpdaterUi.h"

namespace kaldo::midi {

namespace {
// The platform's device-change notification (WM_DEVICECHANGE) with DBT_DEVNODES_CHANGED: a device
// was added or removed somewhere.
constexpr unsigned kDevNodesChanged = 0x0007;

MidiMenuItem noneItem() { return {"None", -1, true}; }
}  // namespace

MidiSelection::MidiSelection(MidiBackend& backend, TMidiOut& out, TMidiIn& in, UpdaterUi& ui, Memo& memo)
    : backend_(backend), out_(out), in_(in), ui_(ui), memo_(memo), out1_{noneItem()}, in1_{noneItem()} {
    seenOutputs_ = backend_.outputNames();
    seenInputs_ = backend_.inputNames();
}

void MidiSelection::changed() {
    if (onChanged) onChanged();
}

void MidiSelection::check(std::vector<MidiMenuItem>& items, int item) {
    for (std::size_t i = 0; i < items.size(); ++i) items[i].checked = static_cast<int>(i) == item;
}

void MidiSelection::Dev1Click(int item) {
    const int tag = out1_.at(static_cast<std::size_t>(item)).tag;
    selectedOutPort = tag;
    check(out1_, item);
    if (tag == -1) {
        outPortReady = false;
        out_.SetUsing(false);
        changed();
        return;
    }
    out_.SetPort(tag);
    if (!out_.Using()) out_.SetUsing(true);
    if (out_.openResult() != 0) {
        ui_.messageBox("That port is not ready.", "MIDI Error", Buttons::Ok);
        outPortReady = false;
        out_.SetUsing(false);
        changed();
        return;
    }
    outPortReady = true;
    changed();
}

void MidiSelection::NoneInClick(int item) {
    const int tag = in1_.at(static_cast<std::size_t>(item)).tag;
    selectedInPort = tag;
    check(in1_, item);
    if (tag == -1) {
        inPortReady = false;
        in_.SetUsing(false);
        changed();
        return;
    }
    in_.SetPort(tag);
    if (!in_.Using()) in_.SetUsing(true);
    if (in_.openResult() != 0) {
        ui_.messageBox("That port is not ready.", "MIDI Error", Buttons::Ok);
        inPortReady = false;
        in_.SetUsing(false);
        changed();
        return;
    }
    inPortReady = true;
    changed();
}

void MidiSelection::populateMidiSelect() {
    if (out_.Using()) Dev1Click(0);
    if (in_.Using()) NoneInClick(0);
    memo_.addLine(std::to_string(out1_.size()));
    memo_.addLine(std::to_string(in1_.size()));
    out1_.resize(1);
    in1_.resize(1);
    for (int i = 0; i < out_.NumDevs(); ++i) out1_.push_back({out_.deviceName(i), i, false});
    for (int i = 0; i < in_.NumDevs(); ++i) in1_.push_back({in_.deviceName(i), i, false});
    changed();
}

void MidiSelection::deSelectCurrentMidi() {
    if (out_.openResult() == 0) Dev1Click(0);
    if (in_.openResult() == 0) NoneInClick(0);
}

void MidiSelection::ReCheckforMididevices() {
    Button4Click();
    Button9Click();
    deSelectCurrentMidi();
    if (out_.Using()) out_.SetUsing(false);
    if (in_.Using()) in_.SetUsing(false);
    out_.Destroy();
    in_.Destroy();
    out_.Init();
    in_.Init();
    Dev1Click(0);
    NoneInClick(0);
    populateMidiSelect();
    seenOutputs_ = backend_.outputNames();
    seenInputs_ = backend_.inputNames();
}

int MidiSelection::platformOutputCount() { return static_cast<int>(backend_.outputNames().size()); }

int MidiSelection::platformInputCount() { return static_cast<int>(backend_.inputNames().size()); }

void MidiSelection::Button4Click() {
    label4_ = std::to_string(platformOutputCount());
    changed();
}

void MidiSelection::Button9Click() {
    label5_ = std::to_string(platformInputCount());
    changed();
}

bool MidiSelection::pollDeviceChanges() {
    auto outputs = backend_.outputNames();
    auto inputs = backend_.inputNames();
    if (outputs == seenOutputs_ && inputs == seenInputs_) return false;
    seenOutputs_ = std::move(outputs);
    seenInputs_ = std::move(inputs);
    char code[8];
    std::snprintf(code, sizeof code, "%04X", kDevNodesChanged);
    memo_.addLine(code);
    return true;
}

}  // namespace kaldo::midi
