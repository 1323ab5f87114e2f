#pragma once
// The engine's user interface for kaldo-flash upload. On a terminal: the status texts as lines, a
// progress bar (packet i of n, percent, elapsed and remaining time, packet errors) and the version
// questions asked at the keyboard. With --json: one JSON object per line on stdout for every status
// text, progress step, message and question, so that a script can follow the upload.
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "Json.h"
#include "UpdaterUi.h"

namespace kaldo::cli {

class SharedConsole;

struct TerminalOptions {
    bool json = false;
    bool yes = false;          // --yes: the version questions answer OK
    bool askKeyboard = false;  // stdin is a terminal: the questions are asked there
    bool drawBar = false;      // stdout is a terminal: the progress bar is redrawn in place
};

// One amp of several (upload --all): its name begins every line and is in every JSON object, and
// everything goes through the shared console, the bar as the amp's row.
struct OneOfSeveral {
    std::string amp;
    SharedConsole* console = nullptr;
};

class TerminalUi : public UpdaterUi {
public:
    TerminalUi(std::ostream& out, TerminalOptions options, std::function<std::int64_t()> nowMs,
               OneOfSeveral several = {});

    // Before Button2Click: whether the gauge counts packets (packet format) or percent (single
    // block). Until then an OK/Cancel box is only a message (the loader's file error has one).
    void beginUpload(bool countsPackets);

    // Packet-error replies so far, for the progress display.
    std::function<int()> errorCount;
    // True once Ctrl-C was pressed: a question being asked then answers Cancel.
    std::function<bool()> interrupted;

    // kaldo-flash's own lines: an event of its own kind with --json, else text.
    void event(const JsonObject& json, const std::string& text);
    // A line of text, and nothing with --json.
    void say(const std::string& text);
    // The run's last word: an amp of several leaves it in its progress row, in place of the last status.
    void showOutcome(const std::string& text);
    // Whether the engine is at a point where Ctrl-C still terminates the upload (the cancel label).
    bool cancelOffered() const { return cancelOffered_; }
    // Whether packets are still going out, so that a cancel request is looked at after one of them.
    bool packetsRemain() const { return counting_ && countsPackets_ && done_ < gaugeMax_ + 1; }
    // Whether the engine ended in the port selection that the desktop program confirms from.
    bool confirmationAsked() const { return confirmationAsked_; }
    std::int64_t uploadStartMs() const { return uploadStartMs_; }

    void setStatus1(int panel, const std::string& text) override;
    void setStatus2(int panel, const std::string& text) override;
    Answer messageBox(const std::string& text, const std::string& caption, Buttons buttons) override;
    void setGaugeVisible(bool visible) override;
    void setGaugeMax(int max) override;
    void setGaugeProgress(int progress) override;
    void setWarningVisible(bool visible) override;
    void setWarningBlink(bool enabled) override;
    void setCancelLabelVisible(bool visible) override;
    void setCancelPictureVisible(bool visible) override;
    void dialogMessage(const std::string& text) override;
    bool dialogQuestion(const std::string& text) override;
    void dialogPortSelection(const std::string& text, bool confirm) override;
    void wizardToFront() override;
    void wizardResetStartup() override;
    void showAmpVersion(const std::string& versionText, bool inWizard) override;
    void logChanged() override;

private:
    // A line that stays; the bar, when drawn, is cleared first and redrawn after.
    void line(const std::string& text);
    void emit(const JsonObject& json);
    void clearBar();
    void drawBar();
    void progressStep();
    Answer ask(const std::string& text);
    std::string barText() const;

    std::ostream& out_;
    TerminalOptions options_;
    OneOfSeveral several_;
    std::function<std::int64_t()> nowMs_;

    bool uploading_ = false;
    bool countsPackets_ = false;
    bool gaugeVisible_ = false;
    bool counting_ = false;  // the gauge's maximum is set: its progress values now mean something
    int gaugeMax_ = 0;
    int gaugeProgress_ = 0;
    int done_ = 0;  // packets sent, or percent of a single block
    std::int64_t uploadStartMs_ = 0;
    std::int64_t countingStartMs_ = 0;
    bool barShown_ = false;
    bool warningBlink_ = false;
    bool cancelOffered_ = false;
    bool confirmationAsked_ = false;
    std::string lastAmpVersion_;
    std::string lastStatus_;
};

}  // namespace kaldo::cli
