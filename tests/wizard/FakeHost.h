#pragma once
// A main window for the wizard and the dialogs to drive: devices that open when their menu item is
// clicked, scripted answers for the file dialog, the loader, the upload and the amp's reply, and a
// log of everything sent and shown, in order.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "WizardHost.h"

namespace kaldo::test {

class FakeHost : public WizardHost {
public:
    std::vector<std::string> outNames{"Microsoft GS Wavetable Synth", "USB Audio Device"};
    std::vector<std::string> inNames{"USB Audio Device"};
    bool outReady = false;
    bool inReady = false;
    std::vector<int> outClicks, inClicks;

    // Everything sent and shown, in order: "put2 C0 01", "sysex F0 7E 7F 06 01 F7", "upload",
    // "read <path> intermediate=<0|1>", "box <caption>: <text>", "front", "pause 1000", ...
    std::vector<std::string> events;

    std::deque<std::optional<std::string>> dialogAnswers;  // file dialog; empty queue = cancelled
    std::vector<std::string> dialogFilters;
    int loadResult = 2;
    std::deque<UploadOutcome> uploadOutcomes;  // empty queue = Completed
    std::function<void()> duringUpload;        // runs inside "Upload Code", as the user would
    std::optional<IdentityReply> reply;
    PackedVersion fileVersion = 0x00010600;
    std::deque<int> waiting;  // the amp's reply codes not yet taken, oldest first
    std::function<void(int)> onPump;  // the pump's count so far
    int pumps = 0;
    std::int64_t now = 0;  // each pump lets kPumpMs pass, each pause its milliseconds
    static constexpr int kPumpMs = 5;
    int timeoutAfterPumps = -1;       // -1: the time-out never expires
    int timeoutStartedAtPump = 0;
    std::vector<int> timeouts;
    int resets = 0;
    std::string statusPanel1;
    std::string statusPanel3;
    std::vector<bool> firstTimeWrites;
    SharedFlags sharedFlags;

    std::vector<std::string> outputDeviceNames() override { return outNames; }
    std::vector<std::string> inputDeviceNames() override { return inNames; }
    void clickOutItem(int item) override {
        outClicks.push_back(item);
        outReady = item > 0 && item <= static_cast<int>(outNames.size());
    }
    void clickInItem(int item) override {
        inClicks.push_back(item);
        inReady = item > 0 && item <= static_cast<int>(inNames.size());
    }
    bool outPortReady() override { return outReady; }
    bool inPortReady() override { return inReady; }
    void Put2(std::uint8_t status, std::uint8_t data) override {
        std::string line = "put2 ";
        line += hex(status);
        line += ' ';
        line += hex(data);
        events.push_back(line);
    }
    void SysEx(const std::uint8_t* data, std::size_t length) override {
        std::string line = "sysex";
        for (std::size_t i = 0; i < length; ++i) {
            line += ' ';
            line += hex(data[i]);
        }
        events.push_back(line);
    }
    // "Find Amp": opens these devices as their items would be clicked, when set.
    std::optional<FoundAmp> amp;
    std::optional<FoundAmp> findAmp() override {
        events.push_back("find amp");
        if (!amp) return std::nullopt;
        for (int i = 0; i < static_cast<int>(outNames.size()); ++i)
            if (outNames[static_cast<std::size_t>(i)] == amp->out.name) clickOutItem(i + 1);
        for (int i = 0; i < static_cast<int>(inNames.size()); ++i)
            if (inNames[static_cast<std::size_t>(i)] == amp->in.name) clickInItem(i + 1);
        return amp;
    }
    // Runs while the file dialog is open, as the user looks at the page behind it.
    std::function<void()> whileDialogOpen;
    std::optional<std::string> runOpenDialog(const std::string& filter) override {
        dialogFilters.push_back(filter);
        events.push_back("file dialog");
        if (whileDialogOpen) whileDialogOpen();
        if (dialogAnswers.empty()) return std::nullopt;
        auto answer = dialogAnswers.front();
        dialogAnswers.pop_front();
        return answer;
    }
    int ReadFile(const std::string& path) override {
        events.push_back("read " + path + " intermediate=" + (sharedFlags.intermediateStage ? "1" : "0"));
        return loadResult;
    }
    UploadOutcome clickUploadCode() override {
        events.push_back("upload");
        if (duringUpload) duringUpload();
        if (uploadOutcomes.empty()) return UploadOutcome::Completed;
        const auto outcome = uploadOutcomes.front();
        uploadOutcomes.pop_front();
        return outcome;
    }
    void mainToFront() override { events.push_back("front"); }
    void pump() override {
        ++pumps;
        now += kPumpMs;
        if (onPump) onPump(pumps);
    }
    void pause(int ms) override {
        now += ms;
        events.push_back("pause " + std::to_string(ms));
    }
    std::int64_t nowMs() override { return now; }
    void setFirstTime(bool showAtStart) override { firstTimeWrites.push_back(showAtStart); }
    std::optional<IdentityReply> ampVersion() override { return reply; }
    void clearAmpVersion() override {
        events.push_back("clear version");
        reply.reset();
    }
    PackedVersion fileVersionUnmasked() override { return fileVersion; }
    void clearReplyCode() override {
        events.push_back("reply code 0");
        waiting.clear();
    }
    bool takeReply(int code) override {
        while (!waiting.empty()) {
            const int next = waiting.front();
            waiting.pop_front();
            if (next == code) return true;
        }
        return false;
    }
    void initTimeout(int ms) override {
        timeouts.push_back(ms);
        timeoutStartedAtPump = pumps;
        events.push_back("timeout " + std::to_string(ms));
    }
    bool timeoutCheck() override {
        const bool expired = timeoutAfterPumps >= 0 && pumps - timeoutStartedAtPump >= timeoutAfterPumps;
        if (expired) events.push_back("box Status: Error. Device not responding. Power cycle amp and try again.");
        return expired;
    }
    void resetCodeUpload() override {
        ++resets;
        events.push_back("reset");
    }
    void setStatusPanel1(const std::string& text) override { statusPanel1 = text; }
    void setStatusPanel3(const std::string& text) override { statusPanel3 = text; }
    void messageBox(const std::string& text, const std::string& caption) override {
        events.push_back("box " + caption + ": " + text);
    }
    SharedFlags& flags() override { return sharedFlags; }

    // The amp answers an Identity Request the way the reply handling records it.
    void answerIdentity(PackedVersion version, const std::string& text) {
        reply = IdentityReply{version, text};
        waiting.push_back(kReplyIdentity);
    }

    int count(const std::string& prefix) const {
        int n = 0;
        for (const auto& e : events) n += e.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

    static std::string hex(unsigned v) {
        static const char* digits = "0123456789ABCDEF";
        return {digits[(v >> 4) & 15], digits[v & 15]};
    }
};

inline const std::string kIdentityLine = "sysex F0 7E 7F 06 01 F7";

}  // namespace kaldo::test
