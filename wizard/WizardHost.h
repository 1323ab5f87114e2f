#pragma once
// The main window as the wizard (TForm3) and the two dialogs (TForm4, TForm5) see it: exactly the
// operations they drive. The desktop program implements it in TForm1; the tests with a fake.
// Every call is made on the window thread.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "AmpDetection.h"
#include "Messages.h"
#include "SharedFlags.h"
#include "UploadOutcome.h"
#include "Version.h"

namespace kaldo {

class WizardHost {
public:
    virtual ~WizardHost() = default;

    // Device names as the MIDI services report them, in device-number order.
    virtual std::vector<std::string> outputDeviceNames() = 0;
    virtual std::vector<std::string> inputDeviceNames() = 0;

    // Clicks item `item` of the "Out" / "In" menu: item 0 is "None", item k + 1 is device k. Opens
    // the device and updates the readiness flag before returning.
    virtual void clickOutItem(int item) = 0;
    virtual void clickInItem(int item) = 0;
    virtual bool outPortReady() = 0;
    virtual bool inPortReady() = 0;
    // "Find Amp": looks for the amp on every port and opens the ports of the one that answered, as
    // clicking their items would, saying so when none or several answered. The amp whose ports are now
    // open, or none.
    virtual std::optional<FoundAmp> findAmp() = 0;

    // TMidiOut::Put2 and TMidiOut::SysEx on MidiOut1.
    virtual void Put2(std::uint8_t status, std::uint8_t data) = 0;
    virtual void SysEx(const std::uint8_t* data, std::size_t length) = 0;

    // Runs the open-file dialog OpenDialog1 modally with a filter such as "Syx files (*.syx)|*.syx";
    // the chosen path, or none when the user cancelled.
    virtual std::optional<std::string> runOpenDialog(const std::string& filter) = 0;

    // ReadFile: sets loadResult to 0, loads path (or the carried image while the shared flag
    // intermediateStage is set) and returns the new loadResult, 0 when nothing could be loaded.
    virtual int ReadFile(const std::string& path) = 0;

    // Clicks "Upload Code" (UploadCode1) and returns how the upload ended; only Completed is success.
    virtual UploadOutcome clickUploadCode() = 0;

    // Brings the main window to the front.
    virtual void mainToFront() = 0;
    // Runs pending window messages, letting a few milliseconds pass when there are none, so that a
    // polling loop around it neither spins nor freezes the window.
    virtual void pump() = 0;
    // Lets ms milliseconds pass while the windows stay live.
    virtual void pause(int ms) = 0;
    // Monotonic milliseconds on the clock that pump and pause run on.
    virtual std::int64_t nowMs() = 0;

    // Writes FIRST_TIME/FT to the settings file and sets the "Startup Help" check mark to match.
    virtual void setFirstTime(bool showAtStart) = 0;

    // The amp's last reported version with its text ("01.02"), read as one update; none while
    // ampVersion is -1.
    virtual std::optional<IdentityReply> ampVersion() = 0;
    // Sets ampVersion back to -1.
    virtual void clearAmpVersion() = 0;
    // fileVersionUnmasked of the loaded firmware.
    virtual PackedVersion fileVersionUnmasked() = 0;

    // The clearing point before asking the amp again: replyCode 0, and replies not yet taken dropped.
    virtual void clearReplyCode() = 0;
    // Takes the amp's replies in arrival order up to the first with this code; false when none of
    // them has it (yet).
    virtual bool takeReply(int code) = 0;

    // The reply time-out: start it; ask whether it expired (which reports the expiry itself).
    virtual void initTimeout(int ms) = 0;
    virtual bool timeoutCheck() = 0;
    virtual void resetCodeUpload() = 0;

    // Panels 1 (the amp's version, "Current Firmware") and 3 (the status text) of the lower status
    // row StatusBar2.
    virtual void setStatusPanel1(const std::string& text) = 0;
    virtual void setStatusPanel3(const std::string& text) = 0;

    // A modal message box with an OK button.
    virtual void messageBox(const std::string& text, const std::string& caption) = 0;

    // The flags the wizard shares with the upload sequence and the reply handling.
    virtual SharedFlags& flags() = 0;
};

}  // namespace kaldo
