#pragma once
// The device selection behind the "&Midi" menu's "Out" and "In" submenus: which output and input
// device the user chose, whether each opened, the two item lists the menus show, and the commands
// that choose, close and re-enumerate. Qt-free: the desktop program renders the lists and forwards
// clicks; the wizard and the dialogs click the same items. Runs on the window thread.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MidiBackend.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

namespace kaldo {
class Memo;
class UpdaterUi;
}  // namespace kaldo

namespace kaldo::midi {

// One radio item of a submenu: item 0 is "None" (tag -1), item k+1 is device k (tag k).
struct MidiMenuItem {
    std::string caption;
    int tag = -1;
    bool checked = false;
};

class MidiSelection {
public:
    // The ports belong to the caller (the main window's MidiOut1 and MidiIn1) and outlive this.
    MidiSelection(MidiBackend& backend, TMidiOut& out, TMidiIn& in, UpdaterUi& ui, Memo& memo);

    int selectedOutPort = -1;
    int selectedInPort = -1;
    bool outPortReady = false;
    bool inPortReady = false;

    const std::vector<MidiMenuItem>& outItems() const { return out1_; }  // "Out"
    const std::vector<MidiMenuItem>& inItems() const { return in1_; }    // "In"

    // Clicks on item `item` of "Out" / "In".
    void Dev1Click(int item);
    void NoneInClick(int item);

    void populateMidiSelect();
    void reSelectCurrentMidi() { populateMidiSelect(); }
    void deSelectCurrentMidi();
    void ReCheckforMididevices();

    // The diagnostic buttons "MidiOutGetNumDevs Test" and "MidiInGetNumDevs Test": the platform's
    // device counts, uncapped, into the diagnostic labels.
    void Button4Click();
    void Button9Click();
    const std::string& Label4() const { return label4_; }
    const std::string& Label5() const { return label5_; }

    // The platform's device counts, uncapped.
    int platformOutputCount();
    int platformInputCount();

    // What a change of the system's devices did to the selection.
    struct DeviceChange {
        bool listsChanged = false;  // devices came or went; "0007" went to the log
        std::string outputGone;     // the name of the selected output that is gone, if it is
        std::string inputGone;
    };

    // The system said devices may have come or gone (window thread). When the names changed, logs
    // the device-change code "0007" to Memo1 and, unless locked, lists "Out" and "In" again by name:
    // open ports stay selected under their new numbers, and a selected device that is gone is closed,
    // not ready, and its menu falls back to "None". While locked (an upload holds the ports) the lists
    // wait for relistIfPending(), and only what went is told.
    DeviceChange devicesChanged(bool locked);
    // The listing that waited for the end of an upload, if one did.
    DeviceChange relistIfPending();

    // Opens the devices of these names as clicking their items would; a name that is not listed, or
    // empty, leaves its menu on "None" without a word.
    void selectByName(const std::string& out, const std::string& in);
    // The names of the selected devices; empty for "None".
    std::string selectedOutName() const;
    std::string selectedInName() const;

    // Called after every change of the lists, the checked items or the ready flags.
    std::function<void()> onChanged;

private:
    void check(std::vector<MidiMenuItem>& items, int item);
    void changed();
    DeviceChange relist();

    MidiBackend& backend_;
    TMidiOut& out_;
    TMidiIn& in_;
    UpdaterUi& ui_;
    Memo& memo_;
    std::vector<MidiMenuItem> out1_;
    std::vector<MidiMenuItem> in1_;
    std::string label4_;
    std::string label5_;
    std::vector<std::string> seenOutputs_;
    std::vector<std::string> seenInputs_;
    bool relistPending_ = false;
};

}  // namespace kaldo::midi
