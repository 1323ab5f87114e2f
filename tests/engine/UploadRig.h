#pragma once
// Everything an upload runs against, on virtual time: the simulated amp on the MIDI port, a
// recording user interface, the rings over plain lamps and senders that send inline.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BlockSender.h"
#include "FirmwareWriter.h"
#include "FrontPanel.h"
#include "InProcessAmp.h"
#include "InlineSenderFactory.h"
#include "Messages.h"
#include "RingShows.h"
#include "SleepGuard.h"
#include "TempDir.h"
#include "Updater.h"
#include "UpdaterUi.h"
#include "Utf8.h"
#include "VirtualClock.h"

namespace kaldo::test {

// What the user saw, each with the virtual time it happened at.
class EventUi : public UpdaterUi {
public:
    struct Event {
        std::int64_t atMs;
        std::string what;
    };

    explicit EventUi(VirtualClock& clock) : clock_(clock) {}

    void setStatus1(int panel, const std::string& text) override { add("status1 " + std::to_string(panel) + " " + text); }
    void setStatus2(int panel, const std::string& text) override {
        status2[static_cast<std::size_t>(panel)] = text;
        add("status2 " + std::to_string(panel) + " " + text);
    }
    Answer messageBox(const std::string& text, const std::string& caption, Buttons buttons) override {
        add("box " + caption + "|" + text);
        if (buttons == Buttons::Ok || boxAnswers.empty()) return Answer::Ok;
        const Answer answer = boxAnswers.front();
        boxAnswers.pop_front();
        return answer;
    }
    void setGaugeVisible(bool visible) override {
        gaugeVisible = visible;
        add(std::string("gauge ") + (visible ? "shown" : "hidden"));
    }
    void setGaugeMax(int max) override {
        gaugeMax = max;
        add("gauge max " + std::to_string(max));
    }
    void setGaugeProgress(int progress) override {
        // Recorded only when it moves: the odometer sets it on every round.
        if (progress != gaugeProgress) add("gauge progress " + std::to_string(progress));
        gaugeProgress = progress;
    }
    void setWarningVisible(bool visible) override { add(std::string("warning ") + (visible ? "shown" : "hidden")); }
    void setWarningBlink(bool enabled) override {
        warningBlink = enabled;
        add(std::string("blink ") + (enabled ? "on" : "off"));
    }
    void setCancelLabelVisible(bool visible) override {
        cancelLabel = visible;
        add(std::string("cancel label ") + (visible ? "shown" : "hidden"));
    }
    void setCancelPictureVisible(bool visible) override {
        cancelPicture = visible;
        add(std::string("cancel picture ") + (visible ? "shown" : "hidden"));
    }
    void dialogMessage(const std::string& text) override { add("dialog " + text); }
    bool dialogQuestion(const std::string& text) override {
        add("question " + text);
        return questionAnswer;
    }
    void dialogPortSelection(const std::string& text, bool confirm) override {
        add(std::string("ports ") + (confirm ? "confirm " : "") + text);
    }
    void wizardToFront() override { add("wizard front"); }
    void wizardResetStartup() override { add("wizard reset"); }
    void showAmpVersion(const std::string& versionText, bool inWizard) override {
        add("version " + versionText + (inWizard ? " wizard" : ""));
    }
    void logChanged() override { ++logChanges; }

    // The events whose text starts with prefix.
    std::vector<Event> find(const std::string& prefix) const {
        std::vector<Event> out;
        for (const Event& e : events) {
            if (e.what.rfind(prefix, 0) == 0) out.push_back(e);
        }
        return out;
    }
    std::vector<std::string> boxes() const {
        std::vector<std::string> out;
        for (const Event& e : find("box ")) out.push_back(e.what.substr(4));
        return out;
    }
    bool saw(const std::string& prefix) const { return !find(prefix).empty(); }

    std::vector<Event> events;
    std::function<void(const std::string&)> onEvent;  // runs after each event, as the user would react
    std::deque<Answer> boxAnswers;                    // answers to OK/Cancel boxes; OK when empty
    bool questionAnswer = false;
    std::string status2[4];
    bool gaugeVisible = false;
    int gaugeMax = 0;
    int gaugeProgress = -1;
    bool warningBlink = false;
    bool cancelLabel = false;
    bool cancelPicture = false;
    int logChanges = 0;

private:
    void add(std::string what) {
        events.push_back({clock_.nowMs(), what});
        if (onEvent) onEvent(what);
    }
    VirtualClock& clock_;
};

// The MIDI port as the engine uses it, noting when each firmware block went out (and apart, each
// Identity Request); a chosen firmware send can fail.
class TimedLink : public MidiLink {
public:
    TimedLink(VirtualClock& clock, sim::InProcessAmp& amp) : clock_(clock), amp_(amp) {}

    bool outPortReady() const override { return amp_.outPortReady(); }
    bool inPortReady() const override { return amp_.inPortReady(); }
    bool sysEx(const std::uint8_t* data, std::size_t length) override {
        if (std::equal(data, data + length, kIdentityRequest.begin(), kIdentityRequest.end())) {
            identityRequestTimes.push_back(clock_.nowMs());
            return amp_.sysEx(data, length);
        }
        const int index = static_cast<int>(sendTimes.size());
        sendTimes.push_back(clock_.nowMs());
        if (index == failSend) return false;
        return amp_.sysEx(data, length);
    }
    void put2(std::uint8_t status, std::uint8_t first) override { amp_.put2(status, first); }
    void deSelectCurrentMidi() override { amp_.deSelectCurrentMidi(); }
    void populateMidiSelect() override { amp_.populateMidiSelect(); }
    void reCheckForMidiDevices() override { amp_.reCheckForMidiDevices(); }
    int platformOutputCount() override { return amp_.platformOutputCount(); }

    std::vector<std::int64_t> sendTimes;
    std::vector<std::int64_t> identityRequestTimes;
    int failSend = -1;  // index of the firmware send to refuse

private:
    VirtualClock& clock_;
    sim::InProcessAmp& amp_;
};


inline constexpr PackedVersion kRev0160 = 0x00010600;
inline constexpr PackedVersion kRev0159 = 0x00010509;
inline constexpr PackedVersion kRev0200 = 0x00020000;
inline constexpr PackedVersion kRev0283 = 0x00020803;

struct UploadRig {
    explicit UploadRig(PackedVersion ampRevision = kRev0160, sim::FaultPlan plan = {})
        : amp(clock, ampRevision, plan), link(clock, amp), senders(clock), shows(clock),
          updater(clock, ui, link, shows, senders, sleep) {
        shows.init_leds(panel.children);
        amp.setReplySink([this](std::span<const std::uint8_t> m) { updater.MidiIn1SysEx(m.data(), m.size()); });
    }

    // The connection test's exchange: the amp's version becomes known.
    void identify() {
        link.sysEx(kIdentityRequest.data(), kIdentityRequest.size());
        for (int ms = 0; ms < 5000 && updater.replies.replyCode() != kReplyIdentity; ms += 10) clock.pause(10);
        clock.pump();
        link.sendTimes.clear();
        link.identityRequestTimes.clear();
    }

    void loadPackets(PackedVersion version, int packets, int dataLength = 64) {
        tools::FirmwareOptions firmware;
        firmware.version = version;
        firmware.packetCount = static_cast<std::uint32_t>(packets);
        firmware.packetDataLength = static_cast<std::uint32_t>(dataLength);
        image = tools::makeFirmware(firmware);
        ASSERT_EQ(updater.ReadFile(writeFirmware("packets.syx")), kPacketFormat);
    }

    void loadSingleBlock(std::size_t length) {
        tools::FirmwareOptions firmware;
        firmware.format = tools::FirmwareFormat::SingleBlock;
        firmware.blockLength = length;
        image = tools::makeFirmware(firmware);
        ASSERT_EQ(updater.ReadFile(writeFirmware("block.syx")), kSingleBlock);
    }

    // The image as a file in this rig's own folder: tests running side by side never share one.
    std::string writeFirmware(const std::string& name) {
        const auto path = files.path() / name;
        EXPECT_TRUE(tools::writeFile(path, image));
        return utf8FromPath(path);
    }

    TempDir files;
    VirtualClock clock;
    EventUi ui{clock};
    sim::InProcessAmp amp;
    TimedLink link;
    InlineSenderFactory senders;
    FrontPanel panel;
    RingShows shows;
    NoSleepGuard sleep;
    Updater updater;
    std::vector<std::uint8_t> image;
};

}  // namespace kaldo::test
