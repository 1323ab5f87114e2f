#pragma once
// A small JACK client of our own that counts the server's process cycles. RtMidi's JACK output puts
// each message into a 16 KB ring that its process callback empties into the port once a cycle.
// Knowing the cycles lets the sender wait, with a limit, until the ring has been emptied before it
// writes the next piece, and know when the last one has left. It also keeps the server's time, in
// which a hardware port drains, and tells hardware ports from software ones.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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

    // Whether the port of that name is a physical one: a hardware interface's, not a program's.
    bool isPhysical(const std::string& port) const;

    // The server's time at the start of the latest cycle, from its frames: what is written into a
    // client's ring now leaves in that cycle or a later one.
    std::chrono::nanoseconds cycleTime() const;
    // Waits until a cycle has begun at cycleTime() `time` or later. False when deadline passed first
    // or the server has shut down.
    bool waitForCycleTime(std::chrono::nanoseconds time, std::chrono::steady_clock::time_point deadline) const;

private:
    explicit JackCycles(_jack_client* client);
    static int process(std::uint32_t frames, void* self);
    static void shutdown(void* self);

    _jack_client* client_;
    std::atomic<std::uint64_t> cycles_{0};
    // Frames from the start of the first cycle we saw to the start of the latest one. The server's
    // own frame time wraps after a day at 48 kHz; this does not.
    std::atomic<std::uint64_t> frames_{0};
    std::uint32_t lastCycleStart_ = 0;  // the process thread's alone
    std::uint32_t sampleRate_ = 0;
    std::atomic<bool> serverGone_{false};
    std::size_t midiBufferSize_ = 0;
};

}  // namespace kaldo::midi
