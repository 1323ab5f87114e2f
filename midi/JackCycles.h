#pragma once
// A small JACK client of our own that counts the server's process cycles. RtMidi's JACK output puts
// each message into a 16 KB ring that its process callback empties into the port once a cycle.
// Knowing the cycles lets the sender wait, with a limit, until the ring has been emptied before it
// writes the next piece, and know when the last one has left.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

struct _jack_client;

namespace kaldo::midi {

class JackCycles {
public:
    // Null when no JACK server answers.
    static std::unique_ptr<JackCycles> open();
    ~JackCycles();
    JackCycles(const JackCycles&) = delete;
    JackCycles& operator=(const JackCycles&) = delete;

    // Waits until every cycle that may have started before the call has ended and one whole cycle
    // has run after it: whatever was in a client's ring at the call has been moved to its port.
    // False when deadline passed first (the server stalled) or the server has shut down.
    bool waitForDrain(std::chrono::steady_clock::time_point deadline) const;

    // Bytes one MIDI port buffer holds in one cycle.
    std::size_t midiBufferSize() const { return midiBufferSize_; }

private:
    explicit JackCycles(_jack_client* client);
    static int process(std::uint32_t frames, void* self);
    static void shutdown(void* self);

    _jack_client* client_;
    std::atomic<std::uint64_t> cycles_{0};
    std::atomic<bool> serverGone_{false};
    std::size_t midiBufferSize_ = 0;
};

}  // namespace kaldo::midi
