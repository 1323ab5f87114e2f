#include "TerminalUi.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>

#include "SharedConsole.h"
#include "Terminal.h"

namespace kaldo::cli {

namespace {

constexpr const char* kWarning = "Programming in Progress. Do not turn off amp.";
constexpr const char* kSendingPacket = "Status -> Sending packet number ";
constexpr int kBarWidth = 24;

std::string minutes(std::int64_t ms) {
    const std::int64_t s = (ms + 500) / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60));
    return text;
}

bool blank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c); });
}

}  // namespace

TerminalUi::TerminalUi(std::ostream& out, TerminalOptions options, std::function<std::int64_t()> nowMs,
                       OneOfSeveral several)
    : out_(out), options_(options), several_(std::move(several)), nowMs_(std::move(nowMs)) {}

void TerminalUi::beginUpload(bool countsPackets) {
    uploading_ = true;
    countsPackets_ = countsPackets;
    uploadStartMs_ = nowMs_();
}

void TerminalUi::emit(const JsonObject& json) {
    if (several_.amp.empty()) {
        out_ << json.str() << std::endl;
        return;
    }
    JsonObject tagged = json;
    tagged.addString("amp", several_.amp);
    several_.console->printLine(tagged.str());
}

void TerminalUi::event(const JsonObject& json, const std::string& text) {
    if (options_.json) {
        emit(json);
    } else {
        line(text);
    }
}

void TerminalUi::say(const std::string& text) {
    line(text);
}

void TerminalUi::showOutcome(const std::string& text) {
    if (options_.drawBar && !options_.json && several_.console) several_.console->setRow(several_.amp, text);
}

void TerminalUi::clearBar() {
    if (!barShown_ || several_.console) return;
    out_ << "\r\x1b[K";
    barShown_ = false;
}

void TerminalUi::drawBar() {
    if (!options_.drawBar || options_.json) return;
    const bool counting = gaugeVisible_ && counting_;
    if (several_.console)
        return several_.console->setRow(several_.amp,
                                        counting ? barText() + "  " + lastStatus_ : lastStatus_);
    if (!counting) return;
    out_ << "\r\x1b[K" << barText() << std::flush;
    barShown_ = true;
}

void TerminalUi::line(const std::string& text) {
    if (options_.json) return;
    if (several_.console) return several_.console->printLine(several_.amp + ": " + text);
    clearBar();
    out_ << text << std::endl;
    drawBar();
}

std::string TerminalUi::barText() const {
    const int total = countsPackets_ ? gaugeMax_ + 1 : 100;
    const int done = std::clamp(done_, 0, total);
    const int percent = total > 0 ? done * 100 / total : 100;
    const int filled = total > 0 ? done * kBarWidth / total : kBarWidth;
    std::string text(kBarWidth + 3, '-');
    text.front() = '[';
    text.replace(1, static_cast<std::size_t>(filled), static_cast<std::size_t>(filled), '#');
    text.replace(kBarWidth + 1, 2, "] ");
    if (countsPackets_) text += "packet " + std::to_string(done) + " of " + std::to_string(total) + "  ";
    text += std::to_string(percent) + "%  ";
    const std::int64_t elapsed = nowMs_() - countingStartMs_;
    text += minutes(elapsed) + " elapsed";
    if (done > 0 && done < total) text += "  " + minutes(elapsed * (total - done) / done) + " left";
    if (countsPackets_) {
        const int errors = errorCount ? errorCount() : 0;
        text += "  " + std::to_string(errors) + (errors == 1 ? " packet error" : " packet errors");
    }
    return text;
}

void TerminalUi::progressStep() {
    if (!counting_) return;
    const int total = countsPackets_ ? gaugeMax_ + 1 : 100;
    const int done = std::clamp(done_, 0, total);
    const std::int64_t elapsed = nowMs_() - countingStartMs_;
    if (options_.json) {
        JsonObject json;
        json.addString("event", "progress");
        if (countsPackets_) json.addInt("packet", done).addInt("packets", total);
        json.addInt("percent", total > 0 ? done * 100 / total : 100).addInt("elapsedMs", elapsed);
        if (done > 0) json.addInt("remainingMs", elapsed * (total - done) / done);
        if (countsPackets_) json.addInt("errors", errorCount ? errorCount() : 0);
        emit(json);
    } else if (options_.drawBar) {
        drawBar();
    }
}

void TerminalUi::setStatus1(int, const std::string&) {
    // The upper row describes the loaded file; kaldo-flash says that in its own words.
}

void TerminalUi::setStatus2(int panel, const std::string& text) {
    if (blank(text) || panel < 2) return;
    if (options_.json) {
        emit(JsonObject().addString("event", "status").addInt("panel", panel).addString("text", text));
        return;
    }
    // On a terminal the bar shows the packet number and the error count; an amp's row of several
    // shows its status text too.
    if (panel == 3) lastStatus_ = text;
    const bool onBar = panel == 2 || text.rfind(kSendingPacket, 0) == 0;
    if (options_.drawBar && (onBar || several_.console)) return drawBar();
    line(text);
}

Answer TerminalUi::messageBox(const std::string& text, const std::string& caption, Buttons buttons) {
    if (buttons == Buttons::OkCancel && uploading_) return ask(text);
    if (options_.json) {
        emit(
            JsonObject().addString("event", "message").addString("caption", caption).addString("text", text));
    } else {
        line(caption.empty() ? text : caption + ": " + text);
    }
    return Answer::Ok;
}

Answer TerminalUi::ask(const std::string& text) {
    Answer answer = Answer::Cancel;
    std::string how;
    if (options_.yes) {
        answer = Answer::Ok;
        how = "--yes";
    } else if (options_.askKeyboard) {
        clearBar();
        TypedLine reply;
        // With --json stdout carries only JSON, so the question goes to the terminal's other stream.
        // One amp of several asks with the terminal to itself, its name first.
        const auto askOn = [&](std::ostream& out) {
            std::ostream& prompt = options_.json ? std::cerr : out;
            prompt << (several_.amp.empty() ? "" : several_.amp + ": ") << text << " [ok/cancel] "
                   << std::flush;
            reply = readTypedLine(interrupted);
            if (!reply.ended) prompt << std::endl;
        };
        if (several_.console) {
            several_.console->exclusive(askOn);
        } else {
            askOn(out_);
        }
        std::string word;
        for (const char c : reply.text) {
            if (!std::isspace(static_cast<unsigned char>(c))) word += static_cast<char>(std::tolower(c));
        }
        answer = word == "ok" || word == "o" || word == "y" || word == "yes" ? Answer::Ok : Answer::Cancel;
        how = "keyboard";
    } else {
        how = "no terminal";
    }
    const char* said = answer == Answer::Ok ? "ok" : "cancel";
    if (options_.json) {
        emit(JsonObject()
                 .addString("event", "question")
                 .addString("text", text)
                 .addString("answer", said)
                 .addString("by", how));
    } else if (how != "keyboard") {
        line(text + " -> " + (answer == Answer::Ok ? "OK" : "Cancel") + " (" + how + ")");
    }
    return answer;
}

void TerminalUi::setGaugeVisible(bool visible) {
    if (gaugeVisible_ && !visible && barShown_ && !several_.console) {
        // The last state of the bar stays on the screen.
        out_ << std::endl;
        barShown_ = false;
    }
    gaugeVisible_ = visible;
    if (!visible) counting_ = false;
}

void TerminalUi::setGaugeMax(int max) {
    // The upload sets the maximum last when it shows the gauge; from here on progress counts.
    gaugeMax_ = max;
    counting_ = true;
    done_ = 0;
    countingStartMs_ = nowMs_();
    progressStep();
}

void TerminalUi::setGaugeProgress(int progress) {
    if (!counting_) return;
    // Packet uploads set the progress to i once packet i (from 0) has gone out.
    const int done = countsPackets_ ? progress + 1 : progress;
    if (done == done_ && progress == gaugeProgress_) return;
    gaugeProgress_ = progress;
    done_ = done;
    progressStep();
}

void TerminalUi::setWarningVisible(bool) {}

void TerminalUi::setWarningBlink(bool enabled) {
    if (enabled && !warningBlink_) {
        event(JsonObject().addString("event", "warning").addString("text", kWarning), kWarning);
    }
    warningBlink_ = enabled;
}

void TerminalUi::setCancelLabelVisible(bool visible) {
    if (visible && !cancelOffered_ && !options_.json) {
        line("Push to Cancel: Ctrl-C stops the upload after the packet in flight.");
    }
    cancelOffered_ = visible;
}

void TerminalUi::setCancelPictureVisible(bool) {}

void TerminalUi::dialogMessage(const std::string& text) {
    messageBox(text, "", Buttons::Ok);
}

// The USB offer of a blind upload: setting up the amp's USB MIDI interface needs the desktop
// program's device dialogs, so the command line declines it and says where to go on.
bool TerminalUi::dialogQuestion(const std::string& text) {
    if (options_.json) {
        emit(JsonObject()
                 .addString("event", "question")
                 .addString("text", text)
                 .addString("answer", "no")
                 .addString("by", "kaldo-flash"));
    } else {
        line(text + " -> No (plug in the USB cable, then kaldo-flash list shows the amp's ports)");
    }
    return false;
}

void TerminalUi::dialogPortSelection(const std::string& text, bool confirm) {
    confirmationAsked_ = confirm;
    messageBox(text, "", Buttons::Ok);
}

void TerminalUi::wizardToFront() {}

void TerminalUi::wizardResetStartup() {}

void TerminalUi::showAmpVersion(const std::string& versionText, bool) {
    if (versionText == lastAmpVersion_) return;
    lastAmpVersion_ = versionText;
    event(JsonObject().addString("event", "amp").addString("version", versionText),
          "Amp: Version " + versionText);
}

void TerminalUi::logChanged() {}

}  // namespace kaldo::cli
