// kaldo-flash upload for one amp: see AmpUpload.h.
#include "AmpUpload.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "AmpsOnTheLine.h"
#include "DeviceLookup.h"
#include "ExitStatus.h"
#include "Interrupt.h"
#include "Json.h"
#include "Messages.h"
#include "NotedSleepGuard.h"
#include "SystemMidi.h"
#include "SystemSleepGuard.h"
#include "Utf8.h"

namespace kaldo::cli {
namespace {

// How long the amp is given to answer an Identity Request: the confirmation dialog's time-out.
constexpr int kIdentityWaitMs = 5000;
// Within that time the request is repeated this often: a request sent while a fresh connection
// settles, or before an amp's MIDI is up a moment after its USB, goes unheard.
constexpr int kIdentityRepeatMs = 1000;
// How long --confirm waits for the amp's ports to come back after the upload (a power cycle by hand).
constexpr int kPortsBackWaitMs = 60000;
constexpr int kPortsPollMs = 200;
// Waits of kaldo-flash's own look at Ctrl-C this often.
constexpr int kInterruptPollMs = 100;

const char* wayName(UploadWay way) {
    switch (way) {
        case UploadWay::SingleBlock:
            return "single";
        case UploadWay::Handshake:
            return "handshake";
        case UploadWay::Blind:
            return "blind";
        case UploadWay::None:
            break;
    }
    return "none";
}

const char* failureName(UploadFailure failure) {
    switch (failure) {
        case UploadFailure::None:
            return "none";
        case UploadFailure::NoOutPort:
            return "no-out-port";
        case UploadFailure::NoFirmware:
            return "no-firmware";
        case UploadFailure::Busy:
            return "busy";
        case UploadFailure::TimedOut:
            return "timed-out";
        case UploadFailure::VerifyFailed:
            return "verify-failed";
        case UploadFailure::SendFailed:
            return "send-failed";
        case UploadFailure::UserCancel:
            return "user-cancel";
        case UploadFailure::Stopped:
            return "stopped";
        case UploadFailure::PortGone:
            return "port-gone";
    }
    return "none";
}

// Thrown before anything is sent when the command line asks for something the file, the ports or
// the protocol cannot honestly do: exit status 2.
struct UsageError {
    std::string text;
};

}  // namespace

const char* outcomeName(UploadOutcome outcome) {
    switch (outcome) {
        case UploadOutcome::Completed:
            return "completed";
        case UploadOutcome::Failed:
            return "failed";
        case UploadOutcome::Declined:
            return "declined";
        case UploadOutcome::Terminated:
            return "terminated";
    }
    return "failed";
}

std::string secondsText(std::int64_t ms) {
    return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) + " s";
}

AmpUpload::AmpUpload(UploadOptions options, std::shared_ptr<midi::MidiBackend> backend,
                     TerminalOptions terminal, OneOfSeveral several, SleepGuard* runGuard)
    : options_(std::move(options)),
      ui_(
          std::cout, terminal, [this] { return clock_.nowMs(); }, std::move(several)),
      backend_(std::move(backend)),
      out_(backend_),
      in_(backend_),
      selection_(*backend_, out_, in_, ui_, selectionLog_),
      link_(out_, selection_),
      senders_(&clock_),
      shows_(clock_),
      ownGuard_(runGuard ? nullptr : std::make_unique<NotedSleepGuard>(power::systemSleepGuard(), ui_)),
      updater_(clock_, ui_, link_, shows_, senders_, runGuard ? *runGuard : *ownGuard_) {
    ui_.errorCount = [this] { return updater_.errorCount(); };
    ui_.interrupted = [] { return InterruptWatch::interrupted(); };
    in_.OnSysEx = [this](midi::TMidiIn&, const std::uint8_t* bytes, int count) {
        updater_.MidiIn1SysEx(bytes, static_cast<std::size_t>(count));
    };
}

AmpUpload::~AmpUpload() {
    in_.SetUsing(false);
    out_.SetUsing(false);
}

void AmpUpload::cancel() {
    clock_.post([this] { onCtrlC(); });
}

void AmpUpload::devicesChanged() {
    clock_.post([this] { checkOutputStillThere(); });
}

// Only while the upload holds the ports: before it they are opened by name, and after it --confirm
// waits for them to come back.
void AmpUpload::checkOutputStillThere() {
    if (!updater_.devicesLocked()) return;
    const auto outputs = backend_->outputNames();
    if (std::find(outputs.begin(), outputs.end(), selection_.selectedOutName()) == outputs.end())
        updater_.outputPortGone();
}

AmpSummary AmpUpload::run() {
    Ending ending;
    try {
        ending = upload();
    } catch (const UsageError& e) {
        ending.usage = true;
        ending.error = e.text;
        ending.upload.outcome = UploadOutcome::Failed;
    }
    return report(ending);
}

AmpUpload::Ending AmpUpload::upload() {
    checkOptions();
    loadFirmware();
    checkFile();
    Ending ending;
    if (options_.out.empty() && !findTheAmp(ending)) return ending;
    if (!openNamed(false)) {
        ending.upload = {UploadOutcome::Failed, UploadWay::None, UploadFailure::NoOutPort, 0};
        ending.error = "The MIDI ports could not be opened; nothing was sent.";
        return ending;
    }
    // Ctrl-C may come before this engine was there to be told (upload --all makes its engines while
    // the others start): then nothing goes out.
    if (InterruptWatch::interrupted() || (link_.inPortReady() && !learnAmpVersion())) {
        ending.upload = {UploadOutcome::Terminated, UploadWay::None, UploadFailure::UserCancel, 0};
        ending.error = "Stopped by Ctrl-C before anything was sent.";
        return ending;
    }

    const UploadWay way = chosenWay();
    if (options_.mode == Mode::Handshake && way != UploadWay::Handshake) {
        ending.upload = {UploadOutcome::Failed, UploadWay::None, UploadFailure::TimedOut, 0};
        ending.error =
            "The amp did not answer the Identity Request, and a handshake upload needs its version.";
        return ending;
    }
    describeStart(way);
    shows_.setRepliesEndSweeps(way == UploadWay::Handshake);
    ui_.beginUpload(updater_.loader.loadResult == kPacketFormat);
    ending.upload = updater_.Button2Click();

    if (options_.confirm) {
        if (ending.upload.outcome == UploadOutcome::Completed && ending.upload.way == UploadWay::Handshake &&
            ui_.confirmationAsked()) {
            ending.confirmed = confirmRevision(ending);
        } else if (ending.upload.outcome == UploadOutcome::Completed) {
            ui_.event(JsonObject()
                          .addString("event", "note")
                          .addString("text", "no confirmation after a blind upload"),
                      "No confirmation: the amp's version was not known, so the upload was blind.");
        }
    }
    return ending;
}

void AmpUpload::checkOptions() const {
    if (options_.file.empty() == !options_.internal) throw UsageError{"give a firmware FILE or --internal"};
    if (options_.out.empty() && !options_.in.empty())
        throw UsageError{"--in needs --out; name both, or neither"};
    // With neither, the amp is looked for: its input is known then.
    if (options_.out.empty()) return;
    if (options_.mode == Mode::Handshake && options_.in.empty()) {
        throw UsageError{"--mode handshake needs --in: every packet waits for the amp's reply"};
    }
    if (options_.mode == Mode::Blind && !options_.in.empty()) {
        throw UsageError{"--mode blind reads nothing back: leave out --in"};
    }
    if (options_.confirm && options_.in.empty())
        throw UsageError{"--confirm needs --in to hear the amp's revision"};
    if (options_.confirm && (options_.mode == Mode::Single || options_.mode == Mode::Blind)) {
        throw UsageError{"--confirm follows a handshake upload only"};
    }
}

void AmpUpload::loadFirmware() {
    updater_.flags.intermediateStage = options_.internal;
    if (updater_.ReadFile(options_.file) == kNotLoaded)
        throw UsageError{"not a firmware file that can be sent"};
    const FirmwareLoader& loader = updater_.loader;
    const std::string name = options_.internal ? "Internal" : fileNameOf(options_.file);
    JsonObject json;
    json.addString("event", "file").addString("name", name);
    std::string text = "File: " + name;
    if (loader.loadResult == kPacketFormat) {
        const int length = loader.packetDataLength + static_cast<int>(FirmwareLoader::kHeaderLength);
        json.addString("format", "packet")
            .addString("version", loader.versionText)
            .addInt("packets", loader.packetCount)
            .addInt("packetLength", length);
        text += ", Version " + loader.versionText + ", " + std::to_string(loader.packetCount) +
                " packets of " + std::to_string(length) + " bytes";
    } else {
        const std::string version = options_.internal ? "1.39" : "unknown";
        json.addString("format", "single-block")
            .addString("version", version)
            .addInt("size", static_cast<std::int64_t>(loader.sendLength));
        text += ", Version " + version + ", one block of " + std::to_string(loader.sendLength) + " bytes";
    }
    ui_.event(json, text);
}

void AmpUpload::checkFile() const {
    const FirmwareLoader& loader = updater_.loader;
    const bool packets = loader.loadResult == kPacketFormat;
    if (options_.mode == Mode::Single && packets) {
        throw UsageError{"the file is in the packet format; --mode single sends single-block files"};
    }
    if ((options_.mode == Mode::Handshake || options_.mode == Mode::Blind) && !packets) {
        throw UsageError{"the file is one single block; handshake and blind modes send packet files"};
    }
    if (options_.mode == Mode::Handshake && loader.fileVersion <= kLastBlindOnlyVersion) {
        throw UsageError{"version " + loader.versionText +
                         " is 01.59 or lower: the amp takes it in blind mode only"};
    }
    if (options_.confirm && options_.mode == Mode::Auto && !packets) {
        throw UsageError{"--confirm follows a handshake upload, and a single block is sent without replies"};
    }
}

bool AmpUpload::findTheAmp(Ending& ending) {
    ui_.event(JsonObject().addString("event", "note").addString("text", "looking for the amp"),
              "No ports named: looking for the amp...");
    const OnlyAmp only = theOnlyAmp(detectAmps(backend_));
    if (!only.amp) {
        ending.upload = {UploadOutcome::Failed, UploadWay::None, UploadFailure::NoOutPort, 0};
        ending.error = only.problem;
        ending.usage = only.exitStatus == kExitUsage;
        return false;
    }
    options_.out = only.amp->out.name;
    // Blind reads nothing back: its input stays closed.
    options_.in = options_.mode == Mode::Blind ? std::string() : only.amp->in.name;
    ui_.event(JsonObject()
                  .addString("event", "found")
                  .addString("out", only.amp->out.name)
                  .addString("in", only.amp->in.name)
                  .addString("version", only.amp->versionText),
              "Found the amp on " + only.amp->out.name + " / " + only.amp->in.name + ", version " +
                  only.amp->versionText);
    return true;
}

// Opens the devices named by --out and --in through the device selection, as the "&Midi" menus
// would. A name that fits no device is a usage error the first time (quiet false); while --confirm
// waits for the ports to come back it only means "not yet".
bool AmpUpload::openNamed(bool quiet) {
    auto pick = [&](const std::vector<midi::MidiMenuItem>& items, const std::string& wanted,
                    const char* what) {
        std::vector<std::string> names;
        for (std::size_t i = 1; i < items.size(); ++i) names.push_back(items[i].caption);
        const midi::DeviceLookup found = midi::lookUpDevice(names, wanted);
        if (!found.device && !quiet) {
            throw UsageError{std::string(what) + " " + found.problem +
                             " (see kaldo-flash list; MIDI system: " + midi::systemMidiName() + ")"};
        }
        return found.device ? *found.device + 1 : -1;
    };
    selection_.populateMidiSelect();
    const int outItem = pick(selection_.outItems(), options_.out, "--out:");
    const int inItem = options_.in.empty() ? 0 : pick(selection_.inItems(), options_.in, "--in:");
    if (outItem < 0 || inItem < 0) return false;
    selection_.Dev1Click(outItem);
    if (inItem > 0) selection_.NoneInClick(inItem);
    return selection_.outPortReady && (inItem == 0 || selection_.inPortReady);
}

bool AmpUpload::learnAmpVersion() {
    ReplyState& replies = updater_.replies;
    replies.clearReplyCode();
    if (!link_.sysEx(kIdentityRequest.data(), kIdentityRequest.size())) return true;
    const std::int64_t deadline = clock_.nowMs() + kIdentityWaitMs;
    std::int64_t nextRequest = clock_.nowMs() + kIdentityRepeatMs;
    while (!replies.take({kReplyIdentity})) {
        if (InterruptWatch::interrupted()) return false;
        const std::int64_t now = clock_.nowMs();
        if (now >= deadline) break;
        if (now >= nextRequest) {
            link_.sysEx(kIdentityRequest.data(), kIdentityRequest.size());
            nextRequest = now + kIdentityRepeatMs;
        }
        const std::int64_t left = std::min(deadline, nextRequest) - now;
        clock_.waitForNotify(static_cast<int>(std::min<std::int64_t>(left, kInterruptPollMs)));
    }
    clock_.pump();  // the version reaches the screen
    if (replies.ampVersion() != kNoVersion) oldRevision_ = versionText(replies.ampVersion());
    if (replies.ampVersion() == kNoVersion) {
        ui_.event(JsonObject().addString("event", "note").addString("text", "no identity reply"),
                  "The amp did not answer the Identity Request: its version is unknown.");
    }
    return true;
}

// The choice Button2Click makes, known beforehand so that a forced mode can be held to it.
UploadWay AmpUpload::chosenWay() const {
    const FirmwareLoader& loader = updater_.loader;
    if (loader.loadResult == kSingleBlock) return UploadWay::SingleBlock;
    const bool replies = link_.inPortReady() && loader.fileVersion > kLastBlindOnlyVersion &&
                         updater_.replies.ampVersion() != kNoVersion;
    return replies ? UploadWay::Handshake : UploadWay::Blind;
}

void AmpUpload::describeStart(UploadWay way) {
    const PackedVersion amp = updater_.replies.ampVersion();
    JsonObject json;
    json.addString("event", "start").addString("way", wayName(way)).addString("out", options_.out);
    if (!options_.in.empty()) json.addString("in", options_.in);
    if (amp != kNoVersion) json.addString("ampVersion", versionText(amp));
    ui_.event(json, std::string("Sending in ") +
                        (way == UploadWay::SingleBlock ? "single-block" : wayName(way)) + " mode to " +
                        options_.out + (options_.in.empty() ? "" : ", replies from " + options_.in));
}

// Ctrl-C, on the window thread: the cancel button while the upload offers it.
void AmpUpload::onCtrlC() {
    if (ui_.cancelOffered() && ui_.packetsRemain()) {
        updater_.CancelMouseDown();
        updater_.CancelMouseUp();
        ui_.event(JsonObject().addString("event", "note").addString("text", "cancel requested"),
                  "Ctrl-C: the upload stops after the packet in flight.");
    } else if (updater_.uploadRunning()) {
        ui_.event(JsonObject().addString("event", "note").addString("text", "cancel not possible now"),
                  "Ctrl-C: the upload cannot be stopped at this point; it finishes by itself.");
    }
}

// The confirmation dialog's check (port selection with confirmation), once the amp's ports are
// back: Identity Requests within one time-out, and the reported revision against the file's. An amp
// whose MIDI comes up a moment after its USB does not hear the first requests, so they are repeated
// every second until the time-out.
std::optional<bool> AmpUpload::confirmRevision(Ending& ending) {
    ui_.event(JsonObject().addString("event", "note").addString("text", "waiting for the amp's ports"),
              "Waiting for the amp's MIDI ports to come back...");
    const std::int64_t portsDeadline = clock_.nowMs() + kPortsBackWaitMs;
    for (;;) {
        selection_.ReCheckforMididevices();
        if (openNamed(true)) break;
        selection_.deSelectCurrentMidi();
        if (InterruptWatch::interrupted()) {
            ending.upload.outcome = UploadOutcome::Terminated;
            ending.error = "Stopped by Ctrl-C before the revision was confirmed.";
            return std::nullopt;
        }
        if (clock_.nowMs() >= portsDeadline) {
            ending.error = "The amp's MIDI ports did not come back, so the revision was not confirmed.";
            return false;
        }
        clock_.pause(kPortsPollMs);
    }

    ReplyState& replies = updater_.replies;
    replies.clearReplyCode();
    updater_.initTimeout(kIdentityWaitMs);
    for (int i = 0; i < 3; ++i) link_.sysEx(kIdentityRequest.data(), kIdentityRequest.size());
    std::int64_t nextRequest = clock_.nowMs() + kIdentityRepeatMs;
    while (!replies.take({kReplyIdentity})) {
        clock_.pump();
        if (updater_.timeoutCheck()) {
            updater_.resetCodeUpload();
            ui_.messageBox("An Error occurred. Try again.", "Status", Buttons::Ok);
            ending.error = "The amp did not answer after the upload, so its new revision was not confirmed.";
            return false;
        }
        if (InterruptWatch::interrupted()) {
            ending.upload.outcome = UploadOutcome::Terminated;
            ending.error = "Stopped by Ctrl-C before the revision was confirmed.";
            return std::nullopt;
        }
        if (clock_.nowMs() >= nextRequest) {
            link_.sysEx(kIdentityRequest.data(), kIdentityRequest.size());
            nextRequest = clock_.nowMs() + kIdentityRepeatMs;
        }
        clock_.waitForNotify(kInterruptPollMs);
    }
    clock_.pump();
    // The version that came with the 7E just taken: the amp's answer, not what it said before.
    ending.answered = versionText(replies.ampVersion());
    const bool confirmed = replies.ampVersion() == updater_.loader.fileVersionUnmasked;
    if (confirmed) {
        ui_.dialogMessage("Success, new code rev is confirmed. Rock On!");
        ui_.setStatus2(3, "Status -> Complete.");
    } else {
        ui_.dialogMessage("Fail, code rev is wrong. Power cycle the amp and try again.");
        ui_.setStatus2(3, "Status -> Error.");
    }
    return confirmed;
}

AmpSummary AmpUpload::report(const Ending& ending) {
    const UploadResult& r = ending.upload;
    AmpSummary summary;
    summary.amp = options_.out;
    summary.oldRevision = oldRevision_;
    summary.upload = r;
    summary.confirmed = ending.confirmed;
    switch (r.outcome) {
        case UploadOutcome::Completed:
            summary.exitStatus = ending.confirmed.value_or(true) ? kExitOk : kExitFailed;
            break;
        case UploadOutcome::Failed:
            summary.exitStatus = ending.usage ? kExitUsage : kExitFailed;
            break;
        case UploadOutcome::Declined:
            summary.exitStatus = kExitDeclined;
            break;
        case UploadOutcome::Terminated:
            summary.exitStatus = kExitTerminated;
            break;
    }
    summary.elapsedMs = ui_.uploadStartMs() > 0 ? clock_.nowMs() - ui_.uploadStartMs() : 0;
    const FirmwareLoader& loader = updater_.loader;
    if (ending.confirmed) {
        summary.newRevision = ending.answered;
    } else if (loader.loadResult == kPacketFormat) {
        summary.newRevision = loader.versionText;
    }
    const std::int64_t elapsed = summary.elapsedMs;
    JsonObject json;
    json.addString("event", "result")
        .addString("outcome", outcomeName(r.outcome))
        .addInt("errors", r.errorCount)
        .addString("way", wayName(r.way))
        .addString("failure", ending.usage ? "usage" : failureName(r.failure));
    if (r.way == UploadWay::Handshake || r.way == UploadWay::Blind)
        json.addInt("packets", loader.packetCount);
    json.addInt("elapsedMs", elapsed);
    if (ending.confirmed) {
        json.addBool("confirmed", *ending.confirmed);
        if (!ending.answered.empty()) json.addString("ampVersion", ending.answered);
    }
    if (!ending.error.empty()) json.addString("error", ending.error);
    json.addInt("exit", summary.exitStatus);
    if (ending.usage && !options_.json) {
        std::cerr << "kaldo-flash upload: " << ending.error << "\n";
        return summary;
    }
    if (!ending.error.empty()) ui_.say("kaldo-flash upload: " + ending.error);
    std::string text = std::string("Result: ") + outcomeName(r.outcome);
    if (r.way != UploadWay::None) text += std::string(" (") + wayName(r.way) + " mode";
    if (r.way == UploadWay::Handshake || r.way == UploadWay::Blind) {
        text += ", " + std::to_string(loader.packetCount) + " packets, " + std::to_string(r.errorCount) +
                " packet errors";
    }
    if (r.way != UploadWay::None) text += ", " + secondsText(elapsed) + ")";
    ui_.event(json, text);
    ui_.showOutcome(text);
    // An amp that gave no answer has had its say in the error line: no revision it did not send.
    if (ending.confirmed && !ending.answered.empty()) {
        ui_.say(std::string(*ending.confirmed ? "Confirmed: the amp now runs "
                                              : "Not confirmed: the amp reports ") +
                ending.answered);
    }
    return summary;
}

}  // namespace kaldo::cli
