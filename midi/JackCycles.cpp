#include "JackCycles.h"

#include <jack/jack.h>

#include <algorithm>
#include <thread>

namespace kaldo::midi {

std::unique_ptr<JackCycles> JackCycles::open() {
    jack_client_t* client = jack_client_open("kaldo-pacer", JackNoStartServer, nullptr);
    if (!client) return nullptr;
    std::unique_ptr<JackCycles> cycles(new JackCycles(client));
    jack_on_shutdown(client, &JackCycles::shutdown, cycles.get());
    if (jack_set_process_callback(client, &JackCycles::process, cycles.get()) != 0 || jack_activate(client) != 0) {
        return nullptr;
    }
    return cycles;
}

JackCycles::JackCycles(jack_client_t* client) : client_(client) {
    midiBufferSize_ = jack_port_type_get_buffer_size(client, JACK_DEFAULT_MIDI_TYPE);
    sampleRate_ = jack_get_sample_rate(client);
}

JackCycles::~JackCycles() { jack_client_close(client_); }

int JackCycles::process(std::uint32_t, void* self) {
    auto& cycles = *static_cast<JackCycles*>(self);
    const jack_nframes_t start = jack_last_frame_time(cycles.client_);
    if (cycles.cycles_.load(std::memory_order_relaxed) > 0) {
        cycles.frames_.fetch_add(static_cast<jack_nframes_t>(start - cycles.lastCycleStart_), std::memory_order_relaxed);
    }
    cycles.lastCycleStart_ = start;
    cycles.cycles_.fetch_add(1, std::memory_order_release);
    return 0;
}

bool JackCycles::isPhysical(const std::string& port) const {
    const jack_port_t* found = jack_port_by_name(client_, port.c_str());
    return found && (jack_port_flags(found) & JackPortIsPhysical) != 0;
}

std::chrono::nanoseconds JackCycles::cycleTime() const {
    constexpr std::uint64_t kNanosPerSecond = 1'000'000'000;
    const std::uint64_t frames = frames_.load(std::memory_order_relaxed);
    const std::uint64_t nanos = frames / sampleRate_ * kNanosPerSecond + frames % sampleRate_ * kNanosPerSecond / sampleRate_;
    return std::chrono::nanoseconds(static_cast<std::int64_t>(nanos));
}

bool JackCycles::waitForCycleTime(std::chrono::nanoseconds time, std::chrono::steady_clock::time_point deadline) const {
    using std::chrono::microseconds;
    for (auto now = cycleTime(); now < time; now = cycleTime()) {
        if (serverGone_ || std::chrono::steady_clock::now() >= deadline) return false;
        // The server's time moves about as fast as ours, a cycle at a time: sleep toward it, but
        // never so long that a stalled server or the deadline goes unnoticed.
        std::this_thread::sleep_for(std::clamp<std::chrono::nanoseconds>(time - now, microseconds(500), microseconds(10000)));
    }
    return true;
}

void JackCycles::shutdown(void* self) { static_cast<JackCycles*>(self)->serverGone_ = true; }

// Clients of one graph may run in parallel within a cycle, so the count seen now may belong to a
// cycle whose other clients have already run. Three more counts mean the cycle after that one has
// ended: every client has run once entirely after the call.
bool JackCycles::waitForDrain(std::chrono::steady_clock::time_point deadline) const {
    const std::uint64_t target = cycles_.load(std::memory_order_acquire) + 3;
    while (cycles_.load(std::memory_order_acquire) < target) {
        if (serverGone_ || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

}  // namespace kaldo::midi
