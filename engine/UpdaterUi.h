#pragma once
// Everything the engine shows the user. The desktop program draws it in the main window and its
// dialogs, the command-line tool prints it, the tests record it. Called on the window thread only.
#include <string>

namespace kaldo {

enum class Buttons { Ok, OkCancel };
enum class Answer { Ok, Cancel };

class UpdaterUi {
public:
    virtual ~UpdaterUi() = default;

    // Upper status row (StatusBar1, five panels) and lower status row (StatusBar2, four panels).
    virtual void setStatus1(int panel, const std::string& text) = 0;
    virtual void setStatus2(int panel, const std::string& text) = 0;

    // A modal message box; the answer matters only for OkCancel.
    virtual Answer messageBox(const std::string& text, const std::string& caption, Buttons buttons) = 0;

    // The progress gauge CGauge1.
    virtual void setGaugeVisible(bool visible) = 0;
    virtual void setGaugeMax(int max) = 0;
    virtual void setGaugeProgress(int progress) = 0;

    // The warning "Programming in Progress. Do not turn off amp." (Label3) and its blink timer Timer3.
    virtual void setWarningVisible(bool visible) = 0;
    virtual void setWarningBlink(bool enabled) = 0;

    // The on-screen cancel button: its label "Push to Cancel" (Label1) and its picture (Image2).
    virtual void setCancelLabelVisible(bool visible) = 0;
    virtual void setCancelPictureVisible(bool visible) = 0;

    // The message and confirmation dialog (TForm5) in its uses. question() returns its check box.
    virtual void dialogMessage(const std::string& text) = 0;
    virtual bool dialogQuestion(const std::string& text) = 0;
    virtual void dialogPortSelection(const std::string& text, bool confirm) = 0;

    // The wizard window: bring it forward after a finished upload; reset and close it after a
    // terminated one.
    virtual void wizardToFront() = 0;
    virtual void wizardResetStartup() = 0;

    // The reported amp version, after the reply handling recorded it: panel 1 of the lower row, the
    // test dialog's caption and, when asked for, the wizard's caption.
    virtual void showAmpVersion(const std::string& versionText, bool inWizard) = 0;

    // A line was added to the receive log (Memo1); the log itself lives in the engine.
    virtual void logChanged() = 0;
};

}  // namespace kaldo
