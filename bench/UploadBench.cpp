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
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "DeviceLookup.h"
#include "FirmwareLoader.h"
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

// What crossed the line and when: every message handed to the output (on the sender thread for
// packets) and every message that arrived (on the MIDI input thread), kept whole so that each is told
// by what it is, not by its place: the upload sends the Identity Request before the header.
struct Timeline {
    using Message = std::pair<Instant, std::vector<std::uint8_t>>;
    std::mutex mutex;
    std::vector<Message> sent;
    std::vector<Message> arrived;
};

void note(Timeline& timeline, std::vector<Timeline::Message> Timeline::*list, const std::uint8_t* data,
          std::size_t length) {
    const Instant now = std::chrono::steady_clock::now();
    std::lock_guard lock(timeline.mutex);
    (timeline.*list).emplace_back(now, std::vector<std::uint8_t>(data, data + length));
}

class TimedLink : public midi::SelectedMidiLink {
public:
    TimedLink(midi::TMidiOut& out, midi::MidiSelection& selection, Timeline& timeline)
        : SelectedMidiLink(out, selection), timeline_(timeline) {}
    bool sysEx(const std::uint8_t* data, std::size_t length) override {
        note(timeline_, &Timeline::sent, data, length);
        return SelectedMidiLink::sysEx(data, length);
    }

private:
    Timeline& timeline_;
};

bool same(std::span<const std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    return !a.empty() && std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// When the upload sent what: the Identity Request, the header and each packet, found by comparing the
// bytes with the loaded image. Empty when something was sent that is none of these, or twice.
struct Sends {
    Instant identityRequest;
    Instant header;
    std::vector<Instant> packets;
};

std::optional<Sends> findSends(const std::vector<Timeline::Message>& sent, const FirmwareLoader& loader) {
    const std::span<const std::uint8_t> image(loader.image(), loader.imageSize());
    std::vector<std::optional<Instant>> packets(static_cast<std::size_t>(loader.packetCount));
    std::optional<Instant> identityRequest, header;
    for (const auto& [at, bytes] : sent) {
        std::optional<Instant>* slot = nullptr;
        if (same(kIdentityRequest, bytes)) slot = &identityRequest;
        if (same(headerMessage(image), bytes)) slot = &header;
        for (int k = 0; k < loader.packetCount && !slot; ++k) {
            if (same(packetMessage(image, loader.packetDataLength, k), bytes)) slot = &packets[static_cast<std::size_t>(k)];
        }
        if (!slot || slot->has_value()) return std::nullopt;
        *slot = at;
    }
    if (!identityRequest || !header) return std::nullopt;
    Sends sends{*identityRequest, *header, {}};
    for (const auto& at : packets) {
        if (!at) return std::nullopt;
        sends.packets.push_back(*at);
    }
    return sends;
}

// The first of the amp's messages after the moment from that passes test.
template <class Test>
std::optional<Instant> firstArrivalAfter(const std::vector<Timeline::Message>& arrived, Instant from, Test test) {
    for (const auto& [at, bytes] : arrived) {
        if (at >= from && test(std::span<const std::uint8_t>(bytes))) return at;
    }
    return std::nullopt;
}

bool isPacketReply(std::span<const std::uint8_t> message) {
    const auto code = replyCodeOf(message);
    return code == kReplyPacketAccepted || code == kReplyPacketError;
}

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
        note(timeline, &Timeline::arrived, bytes, static_cast<std::size_t>(count));
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
        timeline.sent.clear();
        timeline.arrived.clear();
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

    std::lock_guard lock(timeline.mutex);
    const auto sends = findSends(timeline.sent, updater.loader);
    if (!sends) {
        std::fprintf(stderr, "bench_upload: the upload sent something other than one Identity Request, the header "
                             "and each packet once\n");
        return 1;
    }

    // The floor: the amp's answer to the Identity Request; the pause after the header or the amp's
    // ready reply, whichever is later; for every packet but the last the 600 ms pause or the amp's
    // reply, whichever is later; after the last, the pause or the amp's reply, verify and programming;
    // the 3000 ms pause before the device menus are rebuilt. Time on the line is left out, so the ratio
    // charges it to the upload.
    const int packets = updater.loader.packetCount;
    const double floorMs = replyMs + std::max(200, readyMs) +
                           (packets - 1) * static_cast<double>(std::max(600, replyMs)) +
                           std::max(600, replyMs + verifyMs + programmingMs) + 3000.0;
    const double wallMs = msBetween(start, end);

    // Reaction: for each packet after the first, from the arrival of the previous packet's reply (the
    // first 7C or 74 after that packet went) to the start of its send, counted only when that reply came
    // after the 600 ms pause.
    std::vector<double> reactions;
    for (std::size_t k = 1; k < sends->packets.size(); ++k) {
        const auto reply = firstArrivalAfter(timeline.arrived, sends->packets[k - 1], isPacketReply);
        if (!reply || msBetween(sends->packets[k - 1], *reply) < 600.0) continue;
        reactions.push_back(msBetween(*reply, sends->packets[k]));
    }
    std::sort(reactions.begin(), reactions.end());
    const auto identityReply = firstArrivalAfter(timeline.arrived, sends->identityRequest, [](auto message) {
        return identityReplyOf(message).has_value();
    });

    std::printf("packets %d, packet length %d bytes, MIDI %s\n", packets,
                updater.loader.packetDataLength + static_cast<int>(FirmwareLoader::kHeaderLength),
                midi::systemMidiName().c_str());
    if (identityReply) {
        std::printf("identity: the amp answered in %.1f ms, the header followed %.1f ms later\n",
                    msBetween(sends->identityRequest, *identityReply), msBetween(*identityReply, sends->header));
    }
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
