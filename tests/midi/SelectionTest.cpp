// The device selection behind the "Out" and "In" submenus, on an in-memory MIDI system.
#include <gtest/gtest.h>

#include "FakeMidi.h"
#include "Memo.h"
#include "MidiSelection.h"
#include "SelectedMidiLink.h"
#include "RecordingUi.h"

namespace kaldo::midi {
namespace {

using testing::FakeMidi;

struct Window {
    std::shared_ptr<FakeMidi> midi = std::make_shared<FakeMidi>();
    std::unique_ptr<TMidiOut> out;
    std::unique_ptr<TMidiIn> in;
    test::RecordingUi ui;
    Memo memo;
    std::unique_ptr<MidiSelection> selection;
    int changes = 0;

    explicit Window(int devices) {
        for (int i = 0; i < devices; ++i) {
            midi->outputs.push_back("Out " + std::to_string(i));
            midi->inputs.push_back("In " + std::to_string(i));
        }
        out = std::make_unique<TMidiOut>(midi);
        in = std::make_unique<TMidiIn>(midi);
        selection = std::make_unique<MidiSelection>(*midi, *out, *in, ui, memo);
        selection->onChanged = [this] { ++changes; };
        selection->populateMidiSelect();
    }
    int checkedOut() const {
        const auto& items = selection->outItems();
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].checked) return static_cast<int>(i);
        }
        return -1;
    }
};

TEST(MidiSelection, MenusListNoneThenTheDevicesInOrder) {
    Window w(3);
    const auto& out = w.selection->outItems();
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].caption, "None");
    EXPECT_EQ(out[0].tag, -1);
    EXPECT_TRUE(out[0].checked);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(out[k + 1].caption, "Out " + std::to_string(k));
        EXPECT_EQ(out[k + 1].tag, k);
    }
    EXPECT_EQ(w.selection->inItems().size(), 4u);
    EXPECT_EQ(w.selection->inItems()[3].caption, "In 2");
    // The counts before the rebuild: only "None" in each.
    EXPECT_EQ(w.memo.lines(), (std::deque<std::string>{"1", "1"}));
    EXPECT_EQ(w.selection->selectedOutPort, -1);
    EXPECT_FALSE(w.selection->outPortReady);
    EXPECT_GT(w.changes, 0);
}

TEST(MidiSelection, PickingDevicesAndNone) {
    Window w(3);
    w.selection->Dev1Click(1);  // device 0
    w.selection->Dev1Click(2);  // device 1 while device 0 is open
    EXPECT_EQ(w.midi->openOutputs(), std::vector<std::string>{"Out 1"});
    EXPECT_EQ(w.selection->selectedOutPort, 1);
    EXPECT_TRUE(w.selection->outPortReady);
    EXPECT_EQ(w.checkedOut(), 2);
    EXPECT_TRUE(w.selection->inItems()[0].checked);  // radio groups are per submenu

    w.selection->NoneInClick(3);
    EXPECT_EQ(w.midi->openInputs(), std::vector<std::string>{"In 2"});
    EXPECT_TRUE(w.selection->inPortReady);

    w.selection->Dev1Click(0);
    EXPECT_TRUE(w.midi->openOutputs().empty());
    EXPECT_EQ(w.selection->selectedOutPort, -1);
    EXPECT_FALSE(w.selection->outPortReady);
    EXPECT_EQ(w.checkedOut(), 0);
    EXPECT_TRUE(w.ui.messages.empty());
}

TEST(MidiSelection, AFailedOpenSaysSoAndKeepsTheChoice) {
    Window w(3);
    w.midi->refusing.insert("Out 2");
    w.selection->Dev1Click(3);
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].text, "That port is not ready.");
    EXPECT_EQ(w.ui.messages[0].caption, "MIDI Error");
    EXPECT_FALSE(w.out->Using());
    EXPECT_FALSE(w.selection->outPortReady);
    EXPECT_EQ(w.selection->selectedOutPort, 2);
    EXPECT_EQ(w.checkedOut(), 3);

    // deSelectCurrentMidi leaves that direction alone after a failed open ...
    w.midi->refusing.insert("In 0");
    w.selection->NoneInClick(1);
    w.selection->deSelectCurrentMidi();
    EXPECT_EQ(w.selection->selectedOutPort, 2);
    EXPECT_EQ(w.checkedOut(), 3);
    EXPECT_EQ(w.selection->selectedInPort, 0);

    // ... and closes a direction whose open worked.
    w.selection->Dev1Click(1);
    w.selection->deSelectCurrentMidi();
    EXPECT_EQ(w.selection->selectedOutPort, -1);
    EXPECT_TRUE(w.midi->openOutputs().empty());

    // The engine sees the same through its link.
    SelectedMidiLink link(*w.out, *w.selection);
    EXPECT_FALSE(link.outPortReady());
    const std::uint8_t request[] = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
    EXPECT_FALSE(link.sysEx(request, sizeof request));
    w.selection->Dev1Click(2);
    EXPECT_TRUE(link.outPortReady());
    EXPECT_TRUE(link.sysEx(request, sizeof request));
    link.put2(0xC0, 3);
    EXPECT_EQ(w.midi->sent().back().bytes, (std::vector<std::uint8_t>{0xC0, 3}));
}

TEST(MidiSelection, PopulateClosesOpenPortsAndRebuilds) {
    Window w(2);
    w.selection->Dev1Click(1);
    w.selection->NoneInClick(2);
    w.midi->outputs.push_back("Out 2");  // not seen until the components re-enumerate
    w.selection->populateMidiSelect();
    EXPECT_FALSE(w.out->Using());
    EXPECT_FALSE(w.in->Using());
    EXPECT_EQ(w.selection->selectedOutPort, -1);
    EXPECT_EQ(w.selection->outItems().size(), 3u);
    EXPECT_EQ(w.memo.lines().back(), "3");  // "In" had None and two devices
}

TEST(MidiSelection, ReCheckFindsNewDevicesAndCountsUncapped) {
    Window w(2);
    w.selection->Dev1Click(2);
    w.selection->NoneInClick(1);
    for (int i = 2; i < 13; ++i) {
        w.midi->outputs.push_back("Out " + std::to_string(i));
        w.midi->inputs.push_back("In " + std::to_string(i));
    }
    w.midi->inputs.push_back("In 13");
    w.selection->ReCheckforMididevices();
    EXPECT_EQ(w.selection->Label4(), "13");
    EXPECT_EQ(w.selection->Label5(), "14");
    EXPECT_EQ(w.selection->outItems().size(), 13u);  // None and twelve devices
    EXPECT_EQ(w.selection->inItems().size(), 13u);
    EXPECT_EQ(w.selection->selectedOutPort, -1);
    EXPECT_EQ(w.selection->selectedInPort, -1);
    EXPECT_FALSE(w.selection->outPortReady);
    EXPECT_FALSE(w.selection->inPortReady);
    EXPECT_EQ(w.checkedOut(), 0);
    EXPECT_TRUE(w.midi->openOutputs().empty());
    EXPECT_TRUE(w.midi->openInputs().empty());

    w.midi->outputs.clear();
    w.midi->inputs.clear();
    w.selection->Button4Click();
    w.selection->Button9Click();
    EXPECT_EQ(w.selection->Label4(), "0");
    EXPECT_EQ(w.selection->Label5(), "0");
}

// Devices come and go while the program runs: the menus follow by name, so the selection never
// moves to another device, and a selected device that goes falls back to "None".
TEST(MidiSelection, DevicesThatComeAndGoAreListedAgainByName) {
    Window w(3);
    w.selection->Dev1Click(2);  // "Out 1"
    w.selection->NoneInClick(3);  // "In 2"
    const int opens = w.midi->opens();
    EXPECT_FALSE(w.selection->devicesChanged(false).listsChanged);  // our own port came: no change
    EXPECT_NE(w.memo.lines().back(), "0007");

    // An amp plugged in lists first.
    w.midi->outputs.insert(w.midi->outputs.begin(), "Amp Out");
    w.midi->inputs.insert(w.midi->inputs.begin(), "Amp In");
    const auto came = w.selection->devicesChanged(false);
    EXPECT_TRUE(came.listsChanged);
    EXPECT_TRUE(came.outputGone.empty() && came.inputGone.empty());
    EXPECT_EQ(w.memo.lines().back(), "0007");
    ASSERT_EQ(w.selection->outItems().size(), 5u);
    EXPECT_EQ(w.selection->outItems()[1].caption, "Amp Out");
    EXPECT_EQ(w.selection->selectedOutPort, 2);
    EXPECT_EQ(w.checkedOut(), 3);
    EXPECT_EQ(w.selection->selectedOutName(), "Out 1");
    EXPECT_EQ(w.selection->selectedInName(), "In 2");
    EXPECT_TRUE(w.selection->outPortReady && w.selection->inPortReady);
    EXPECT_EQ(w.midi->opens(), opens);  // kept open, not opened again
    EXPECT_EQ(w.midi->openOutputs(), std::vector<std::string>{"Out 1"});

    // The selected output goes: closed, not ready, "None"; the input stays.
    std::erase(w.midi->outputs, "Out 1");
    const auto went = w.selection->devicesChanged(false);
    EXPECT_EQ(went.outputGone, "Out 1");
    EXPECT_TRUE(went.inputGone.empty());
    EXPECT_EQ(w.checkedOut(), 0);
    EXPECT_EQ(w.selection->selectedOutPort, -1);
    EXPECT_FALSE(w.selection->outPortReady);
    EXPECT_TRUE(w.midi->openOutputs().empty());
    EXPECT_TRUE(w.selection->inPortReady);
    EXPECT_EQ(w.selection->selectedInName(), "In 2");
    EXPECT_TRUE(w.ui.messages.empty());
}

// While an upload holds the ports the lists stay as they are; what went is told at once, the lists
// follow once the upload is over.
TEST(MidiSelection, WhileLockedOnlyWhatWentIsTold) {
    Window w(2);
    w.selection->Dev1Click(1);
    w.selection->NoneInClick(1);
    std::erase(w.midi->outputs, "Out 0");
    const auto went = w.selection->devicesChanged(true);
    EXPECT_EQ(went.outputGone, "Out 0");
    EXPECT_EQ(w.selection->outItems().size(), 3u);
    EXPECT_TRUE(w.selection->outPortReady);
    EXPECT_EQ(w.memo.lines().back(), "0007");
    const auto after = w.selection->relistIfPending();
    EXPECT_EQ(after.outputGone, "Out 0");
    EXPECT_EQ(w.selection->outItems().size(), 2u);
    EXPECT_FALSE(w.selection->outPortReady);
    EXPECT_FALSE(w.selection->relistIfPending().listsChanged);  // once
}

TEST(MidiSelection, DevicesChosenByNameWhenTheyAreThere) {
    Window w(3);
    w.selection->selectByName("Out 2", "No Such Input");
    EXPECT_EQ(w.selection->selectedOutPort, 2);
    EXPECT_TRUE(w.selection->outPortReady);
    EXPECT_EQ(w.selection->selectedInPort, -1);
    EXPECT_TRUE(w.ui.messages.empty());
}

TEST(MidiSelection, NoDevicesAtAll) {
    Window w(0);
    EXPECT_EQ(w.selection->outItems().size(), 1u);
    EXPECT_EQ(w.selection->inItems().size(), 1u);
    w.selection->ReCheckforMididevices();
    EXPECT_EQ(w.selection->Label4(), "0");
    EXPECT_EQ(w.selection->platformOutputCount(), 0);
}

}  // namespace
}  // namespace kaldo::midi
