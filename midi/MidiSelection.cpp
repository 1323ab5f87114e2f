#include "MidiSelection.h"

#include <algorithm>
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
    relistPending_ = false;
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

namespace {

int indexOf(const std::vector<MidiMenuItem>& items, const std::string& name) {
    for (std::size_t i = 1; i < items.size(); ++i) {
        if (items[i].caption == name) return static_cast<int>(i);
    }
    return -1;
}

bool listed(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::string MidiSelection::selectedOutName() const {
    return selectedOutPort >= 0 && selectedOutPort < out_.NumDevs() ? out_.deviceName(selectedOutPort) : std::string();
}

std::string MidiSelection::selectedInName() const {
    return selectedInPort >= 0 && selectedInPort < in_.NumDevs() ? in_.deviceName(selectedInPort) : std::string();
}

MidiSelection::DeviceChange MidiSelection::devicesChanged(bool locked) {
    auto outputs = backend_.outputNames();
    auto inputs = backend_.inputNames();
    if (outputs == seenOutputs_ && inputs == seenInputs_) return {};
    char code[8];
    std::snprintf(code, sizeof code, "%04X", kDevNodesChanged);
    memo_.addLine(code);
    if (!locked) {
        seenOutputs_ = std::move(outputs);
        seenInputs_ = std::move(inputs);
        return relist();
    }
    relistPending_ = true;
    DeviceChange change;
    change.listsChanged = true;
    if (const auto out = selectedOutName(); !out.empty() && !listed(outputs, out)) change.outputGone = out;
    if (const auto in = selectedInName(); !in.empty() && !listed(inputs, in)) change.inputGone = in;
    seenOutputs_ = std::move(outputs);
    seenInputs_ = std::move(inputs);
    return change;
}

MidiSelection::DeviceChange MidiSelection::relistIfPending() {
    if (!relistPending_) return {};
    return relist();
}

MidiSelection::DeviceChange MidiSelection::relist() {
    relistPending_ = false;
    DeviceChange change;
    change.listsChanged = true;
    const std::string outName = selectedOutName();
    const std::string inName = selectedInName();
    out_.Relist();
    in_.Relist();
    out1_.resize(1);
    in1_.resize(1);
    for (int i = 0; i < out_.NumDevs(); ++i) out1_.push_back({out_.deviceName(i), i, false});
    for (int i = 0; i < in_.NumDevs(); ++i) in1_.push_back({in_.deviceName(i), i, false});
    const int outItem = outName.empty() ? 0 : indexOf(out1_, outName);
    const int inItem = inName.empty() ? 0 : indexOf(in1_, inName);
    if (outItem < 0) {
        change.outputGone = outName;
        outPortReady = false;
        out_.SetUsing(false);
    }
    if (inItem < 0) {
        change.inputGone = inName;
        inPortReady = false;
        in_.SetUsing(false);
    }
    selectedOutPort = outItem > 0 ? out1_[static_cast<std::size_t>(outItem)].tag : -1;
    selectedInPort = inItem > 0 ? in1_[static_cast<std::size_t>(inItem)].tag : -1;
    check(out1_, std::max(outItem, 0));
    check(in1_, std::max(inItem, 0));
    changed();
    return change;
}

void MidiSelection::selectByName(const std::string& out, const std::string& in) {
    if (const int item = out.empty() ? -1 : indexOf(out1_, out); item > 0) Dev1Click(item);
    if (const int item = in.empty() ? -1 : indexOf(in1_, in); item > 0) NoneInClick(item);
}

}  // namespace kaldo::midi
