// MIDI through JACK: the Identity Request's round trip through TMidiOut and TMidiIn, against the same
// exchange on bare RtMidi ports (the floor JACK's cycles set), and the rate of a 1 MiB SysEx send,
// against a classic MIDI cable's 31,250 baud and JACK's own ceiling for RtMidi (one ring of 16,000
// bytes a cycle). Needs a running JACK server: JACK_DEFAULT_SERVER names it, e.g.
//   tests/support/jack-server.sh start kaldo-bench /tmp/kaldo-bench
//   JACK_DEFAULT_SERVER=kaldo-bench JACK_NO_START_SERVER=1 build/default/bin/bench_midi_jack
#include <RtMidi.h>
#include <jack/jack.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "Messages.h"
#include "RtMidiBackend.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 200;

// The amp's side: answers Identity Requests, counts SysEx bytes.
class Responder {
public:
    Responder() : out_(RtMidi::UNIX_JACK, "bench-amp-out"), in_(RtMidi::UNIX_JACK, "bench-amp") {
        out_.openVirtualPort("out");
        in_.ignoreTypes(false, true, true);
        in_.setCallback(&Responder::callback, this);
        in_.openVirtualPort("in");
    }
    ~Responder() {
        in_.closePort();
        out_.closePort();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // RtMidi's ring, see RtMidiBackend
    }
    bool waitForBytes(std::size_t total) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(60), [&] { return bytes_ >= total; });
    }

private:
    static void callback(double, std::vector<unsigned char>* message, void* self) {
        auto& r = *static_cast<Responder*>(self);
        if (std::equal(message->begin(), message->end(), kaldo::kIdentityRequest.begin(), kaldo::kIdentityRequest.end())) {
            const auto reply = kaldo::makeIdentityReply(0x00020803u);
            r.out_.sendMessage(reply.data(), reply.size());
        }
        std::lock_guard lock(r.mutex_);
        r.bytes_ += message->size();
        r.arrived_.notify_all();
    }
    RtMidiOut out_;
    RtMidiIn in_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::size_t bytes_ = 0;
};

struct Signal {
    std::mutex mutex;
    std::condition_variable cv;
    int count = 0;
    void raise() {
        std::lock_guard lock(mutex);
        ++count;
        cv.notify_all();
    }
    bool waitFor(int n) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, std::chrono::seconds(5), [&] { return count >= n; });
    }
};

void report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %6.2f ms  p99 %6.2f ms  (%zu rounds)\n", what, ms[ms.size() / 2],
                ms[std::min(ms.size() - 1, ms.size() * 99 / 100)], ms.size());
}

std::vector<double> rawRoundTrips() {
    Signal replies;
    RtMidiIn in(RtMidi::UNIX_JACK, "bench-raw-in");
    in.ignoreTypes(false, true, true);
    in.setCallback([](double, std::vector<unsigned char>* m, void* s) {
        if (m->size() > 1 && (*m)[1] == 0x7E) static_cast<Signal*>(s)->raise();
    }, &replies);
    RtMidiOut out(RtMidi::UNIX_JACK, "bench-raw-out");
    auto find = [](auto& port, const std::string& name) {
        for (unsigned i = 0; i < port.getPortCount(); ++i) {
            if (port.getPortName(i) == name) return i;
        }
        return 0u;
    };
    in.openPort(find(in, "bench-amp-out:out"));
    out.openPort(find(out, "bench-amp:in"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::vector<double> ms;
    for (int i = 1; i <= kRounds; ++i) {
        const auto start = Clock::now();
        out.sendMessage(kaldo::kIdentityRequest.data(), kaldo::kIdentityRequest.size());
        if (!replies.waitFor(i)) break;
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    out.closePort();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return ms;
}

template <class Port>
int deviceNumber(const Port& port, const std::string& name) {
    for (int i = 0; i < port.NumDevs(); ++i) {
        if (port.deviceName(i) == name) return i;
    }
    return -1;
}

}  // namespace

int main() {
    jack_client_t* probe = jack_client_open("bench-probe", JackNoStartServer, nullptr);
    if (!probe) {
        std::fprintf(stderr, "bench_midi_jack: no JACK server (set JACK_DEFAULT_SERVER)\n");
        return 1;
    }
    std::printf("JACK: %u frames at %u Hz, a cycle is %.2f ms\n", jack_get_buffer_size(probe), jack_get_sample_rate(probe),
                1000.0 * jack_get_buffer_size(probe) / jack_get_sample_rate(probe));
    const double cycleMs = 1000.0 * jack_get_buffer_size(probe) / jack_get_sample_rate(probe);
    jack_client_close(probe);

    Responder amp;
    report("Identity round trip, bare RtMidi (floor)", rawRoundTrips());

    auto backend = std::make_shared<kaldo::midi::RtMidiBackend>(RtMidi::UNIX_JACK, "kaldo-bench");
    kaldo::midi::TMidiOut out(backend);
    kaldo::midi::TMidiIn in(backend);
    Signal replies;
    in.OnSysEx = [&replies](kaldo::midi::TMidiIn&, const std::uint8_t* bytes, int size) {
        if (kaldo::identityReplyOf(std::span(bytes, static_cast<std::size_t>(size)))) replies.raise();
    };
    out.SetPort(deviceNumber(out, "bench-amp:in"));
    in.SetPort(deviceNumber(in, "bench-amp-out:out"));
    out.SetUsing(true);
    in.SetUsing(true);
    std::vector<double> ms;
    for (int i = 1; i <= kRounds; ++i) {
        const auto start = Clock::now();
        out.SysEx(kaldo::kIdentityRequest.data(), kaldo::kIdentityRequest.size());
        if (!replies.waitFor(i)) break;
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    report("Identity round trip, TMidiOut -> TMidiIn", ms);

    std::vector<std::uint8_t> block(1048576, 0x11);
    block.front() = 0xF0;
    block.back() = 0xF7;
    const std::size_t before = kRounds * 2 * kaldo::kIdentityRequest.size();
    const auto start = Clock::now();
    const bool sent = out.SysEx(block.data(), block.size());
    const double sendSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    const bool arrived = amp.waitForBytes(before + block.size());
    const double arrivalSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("1 MiB SysEx: %s, SysEx returned after %.2f s, all bytes heard after %.2f s: %.0f KiB/s\n",
                sent && arrived ? "intact" : "LOST", sendSeconds, arrivalSeconds, 1024.0 / arrivalSeconds);
    std::printf("  against: MIDI cable at 31,250 baud %.2f KiB/s; one 16,000-byte ring a cycle %.0f KiB/s\n",
                3125.0 / 1024.0, 16000.0 / 1024.0 / (cycleMs / 1000.0));
    in.SetUsing(false);
    out.SetUsing(false);
    return sent && arrived ? 0 : 1;
}
