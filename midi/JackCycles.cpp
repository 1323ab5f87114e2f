#include "JackCycles.h"

#include <jack/jack.h>

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
}

JackCycles::~JackCycles() { jack_client_close(client_); }

int JackCycles::process(std::uint32_t, void* self) {
    static_cast<JackCycles*>(self)->cycles_.fetch_add(1, std::memory_order_release);
    return 0;
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
