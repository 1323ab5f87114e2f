// Handshake uploads over real MIDI against kaldo-amp-sim (a process of its own), with kaldo-flash's
// parts: how close the upload comes to the protocol's floor, how much CPU it takes while it mostly
// waits, and how fast the next packet follows a reply that arrives after the 600 ms pause.
// Run by bench/upload-bench.sh, which starts the JACK server and the simulated amp.
//   bench_upload FILE OUT IN READY_MS REPLY_MS VERIFY_MS PROGRAMMING_MS
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "DeviceLookup.h"
#include "Messages.h"
#include "MidiSelection.h"
#include "SleepGuard.h"
#include "SelectedMidiLink.h"
#include "SteadyClock.h"
#include "SystemMidi.h"
#include "TerminalShows.h"
#include "TerminalUi.h"
#include "Threader.h"
#include "Updater.h"

namespace {

using namespace kaldo;
using Instant = std::chrono::steady_clock::time_point;

double msBetween(Instant a, Instant b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// What crossed the line and when: the start of every block handed to the output (on the sender
// thread for packets) and the arrival of every reply (on the MIDI input thread).
struct Timeline {
    std::mutex mutex;
    std::vector<Instant> sends;
    std::vector<std::pair<Instant, int>> replies;
};

class TimedLink : public midi::SelectedMidiLink {
public:
    TimedLink(midi::TMidiOut& out, midi::MidiSelection& selection, Timeline& timeline)
        : SelectedMidiLink(out, selection), timeline_(timeline) {}
    bool sysEx(const std::uint8_t* data, std::size_t length) override {
        {
            std::lock_guard lock(timeline_.mutex);
            timeline_.sends.push_back(std::chrono::steady_clock::now());
        }
        return SelectedMidiLink::sysEx(data, length);
    }

private:
    Timeline& timeline_;
};

int pick(const std::vector<midi::MidiMenuItem>& items, const std::string& wanted) {
    std::vector<std::string> names;
    for (std::size_t i = 1; i < items.size(); ++i) names.push_back(items[i].caption);
    const auto found = midi::lookUpDevice(names, wanted);
    return found.device ? *found.device + 1 : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 8) {
        std::fprintf(stderr, "usage: %s FILE OUT IN READY_MS REPLY_MS VERIFY_MS PROGRAMMING_MS\n", argv[0]);
        return 2;
    }
    const std::string file = argv[1];
    const int readyMs = std::stoi(argv[4]);
    const int replyMs = std::stoi(argv[5]);
    const int verifyMs = std::stoi(argv[6]);
    const int programmingMs = std::stoi(argv[7]);

    SteadyClock clock;
    std::ostream quiet(nullptr);
    cli::TerminalUi ui(quiet, cli::TerminalOptions{}, [&clock] { return clock.nowMs(); });
    auto backend = midi::systemMidi("kaldo-bench");
    midi::TMidiOut out(backend);
    midi::TMidiIn in(backend);
    Memo selectionLog;
    midi::MidiSelection selection(*backend, out, in, ui, selectionLog);
    Timeline timeline;
    TimedLink link(out, selection, timeline);
    ThreaderFactory senders(&clock);
    cli::TerminalShows shows(clock);
    NoSleepGuard sleep;
    Updater updater(clock, ui, link, shows, senders, sleep);
    in.OnSysEx = [&](midi::TMidiIn&, const std::uint8_t* bytes, int count) {
        const Instant now = std::chrono::steady_clock::now();
        const auto code = replyCodeOf(std::span<const std::uint8_t>(bytes, static_cast<std::size_t>(count)));
        {
            std::lock_guard lock(timeline.mutex);
            timeline.replies.emplace_back(now, code.value_or(-1));
        }
        updater.MidiIn1SysEx(bytes, static_cast<std::size_t>(count));
    };

    if (updater.ReadFile(file) != kPacketFormat) {
        std::fprintf(stderr, "bench_upload: %s is not a packet file\n", file.c_str());
        return 2;
    }
    selection.populateMidiSelect();
    const int outItem = pick(selection.outItems(), argv[2]);
    const int inItem = pick(selection.inItems(), argv[3]);
    if (outItem < 0 || inItem < 0) {
        std::fprintf(stderr, "bench_upload: the amp's ports are not there (MIDI: %s)\n", midi::systemMidiName().c_str());
        return 1;
    }
    selection.Dev1Click(outItem);
    selection.NoneInClick(inItem);

    link.sysEx(kIdentityRequest.data(), kIdentityRequest.size());
    for (int i = 0; i < 50 && updater.replies.ampVersion() == kNoVersion; ++i) clock.waitForNotify(100);
    if (updater.replies.ampVersion() == kNoVersion) {
        std::fprintf(stderr, "bench_upload: no Identity Reply\n");
        return 1;
    }
    shows.setRepliesEndSweeps(true);
    ui.beginUpload(true);
    {
        std::lock_guard lock(timeline.mutex);
        timeline.sends.clear();
        timeline.replies.clear();
    }

    const double cpuBefore = cpuSeconds();
    const Instant start = std::chrono::steady_clock::now();
    const UploadResult result = updater.Button2Click();
    const Instant end = std::chrono::steady_clock::now();
    const double cpu = cpuSeconds() - cpuBefore;
    in.SetUsing(false);
    out.SetUsing(false);
    if (result.outcome != UploadOutcome::Completed || result.way != UploadWay::Handshake) {
        std::fprintf(stderr, "bench_upload: the upload did not complete in handshake mode\n");
        return 1;
    }

    // The floor: the pause after the header or the amp's ready reply, whichever is later; for every
    // packet but the last the 600 ms pause or the amp's reply, whichever is later; after the last, the
    // pause or the amp's reply, verify and programming; the 3000 ms pause before the device menus are
    // rebuilt. Time on the line is left out, so the ratio charges it to the upload.
    const int packets = updater.loader.packetCount;
    const double floorMs = std::max(200, readyMs) + (packets - 1) * static_cast<double>(std::max(600, replyMs)) +
                           std::max(600, replyMs + verifyMs + programmingMs) + 3000.0;
    const double wallMs = msBetween(start, end);

    // Reaction: for each packet after the first, from the arrival of the previous packet's reply to
    // the start of its send, counted only when that reply came after the 600 ms pause.
    std::vector<double> reactions;
    {
        std::lock_guard lock(timeline.mutex);
        const auto& sends = timeline.sends;  // [0] is the header
        std::vector<Instant> packetReplies;
        for (const auto& [at, code] : timeline.replies) {
            if (code == kReplyPacketAccepted || code == kReplyPacketError) packetReplies.push_back(at);
        }
        for (std::size_t k = 1; k + 1 < sends.size() && k - 1 < packetReplies.size(); ++k) {
            const Instant reply = packetReplies[k - 1];
            if (msBetween(sends[k], reply) < 600.0) continue;
            reactions.push_back(msBetween(reply, sends[k + 1]));
        }
    }
    std::sort(reactions.begin(), reactions.end());

    std::printf("packets %d, packet length %d bytes, MIDI %s\n", packets,
                updater.loader.packetDataLength + static_cast<int>(FirmwareLoader::kHeaderLength),
                midi::systemMidiName().c_str());
    std::printf("overhead: wall %.1f ms / floor %.1f ms = %.4f (goal <= 1.02)\n", wallMs, floorMs, wallMs / floorMs);
    std::printf("cpu: %.3f s / wall %.3f s = %.2f%% of one core (goal < 2%%)\n", cpu, wallMs / 1000.0,
                100.0 * cpu / (wallMs / 1000.0));
    if (reactions.empty()) {
        std::printf("reaction: no reply came after the 600 ms pause (run with a reply delay above 600 ms)\n");
    } else {
        std::printf("reaction: %zu replies after the pause: median %.3f ms, p90 %.3f ms, max %.3f ms (goal: median < 2 ms)\n",
                    reactions.size(), reactions[reactions.size() / 2], reactions[reactions.size() * 9 / 10],
                    reactions.back());
    }
    return 0;
}
