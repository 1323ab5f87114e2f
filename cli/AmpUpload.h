#pragma once
// One amp's run of kaldo-flash upload: the desktop program's "Upload Code" on an engine of its own
// (its ports, reply handling, clock, questions and outcome), and with --confirm the confirmation
// dialog's check of the new revision. `kaldo-flash upload` runs one; `upload --all` one per amp, each
// on a thread of its own, which is its window thread.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "MidiBackend.h"
#include "MidiSelection.h"
#include "SelectedMidiLink.h"
#include "SleepGuard.h"
#include "SteadyClock.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "TerminalShows.h"
#include "TerminalUi.h"
#include "Threader.h"
#include "Updater.h"

namespace kaldo::cli {

enum class Mode { Auto, Single, Handshake, Blind };

struct UploadOptions {
    std::string file;
    bool internal = false;
    std::string out;
    std::string in;
    Mode mode = Mode::Auto;
    bool yes = false;
    bool confirm = false;
    bool json = false;
    bool all = false;  // every amp on the line (AllAmpsUpload)
};

// How one amp's run ended, for its result line and for the table of upload --all.
struct AmpSummary {
    std::string amp;          // its output port
    std::string oldRevision;  // as it answered before the upload; empty when it did not
    std::string newRevision;  // the file's, or the amp's own when --confirm asked it
    UploadResult upload;
    std::optional<bool> confirmed;
    std::int64_t elapsedMs = 0;
    int exitStatus = 0;
};

// "completed", "failed", "declined", "terminated": an outcome as the result line and the table name it.
const char* outcomeName(UploadOutcome outcome);

// "7.3 s": a time as the result line and the table of upload --all show it.
std::string secondsText(std::int64_t ms);

class AmpUpload {
public:
    // terminal says where and how it speaks. Its upload holds the system's sleep guard, and says so
    // when the system cannot be asked, unless a guard held for a longer run (upload --all) is given.
    AmpUpload(UploadOptions options, std::shared_ptr<midi::MidiBackend> backend, TerminalOptions terminal,
              OneOfSeveral several = {}, SleepGuard* runGuard = nullptr);
    // The input thread hands replies to the updater: the ports close before it goes.
    ~AmpUpload();
    AmpUpload(const AmpUpload&) = delete;
    AmpUpload& operator=(const AmpUpload&) = delete;

    // The whole run, to its result line. On the thread that is to be this engine's window thread.
    AmpSummary run();
    // Ctrl-C: the cancel button, from any thread; the run stops after the packet in flight.
    void cancel();

private:
    // How a run ended, as the result line reports it.
    struct Ending {
        UploadResult upload;
        std::optional<bool> confirmed;  // set when --confirm asked the amp
        std::string answered;           // the revision the amp gave in answer; empty when it gave none
        std::string error;              // kaldo-flash's own reason, when it stopped before the engine
        bool usage = false;
    };

    Ending upload();
    void checkOptions() const;
    // No ports named: the one amp on the line. False, with the reason in ending, when there is none.
    bool findTheAmp(Ending& ending);
    void loadFirmware();
    void checkFile() const;
    bool openNamed(bool quiet);
    // Sends the Identity Request and waits for the reply; false when Ctrl-C ended the wait.
    bool learnAmpVersion();
    UploadWay chosenWay() const;
    std::optional<bool> confirmRevision(Ending& ending);
    void onCtrlC();
    void describeStart(UploadWay way);
    AmpSummary report(const Ending& ending);

    UploadOptions options_;  // the ports filled in when the amp was looked for
    SteadyClock clock_;
    TerminalUi ui_;
    std::shared_ptr<midi::MidiBackend> backend_;
    midi::TMidiOut out_;
    midi::TMidiIn in_;
    Memo selectionLog_;  // device counts the selection logs; nobody reads them on a terminal
    midi::MidiSelection selection_;
    midi::SelectedMidiLink link_;
    ThreaderFactory senders_;
    TerminalShows shows_;
    std::unique_ptr<SleepGuard> ownGuard_;
    Updater updater_;
    std::string oldRevision_;
};

}  // namespace kaldo::cli
