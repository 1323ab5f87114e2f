#pragma once
// A stand-in for a hardware MIDI interface on the test's JACK server: a client of its own with one
// MIDI input port flagged physical, as JACK's own ALSA drivers register them. It records every event
// it receives with the server frame it arrived in, so a test can tell the rate a sender kept in the
// server's own time.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct _jack_client;
struct _jack_port;

namespace kaldo::midi::testing {

class JackPhysicalPort {
public:
    struct Event {
        std::uint64_t frame;  // the server's frame time the event arrived at
        std::vector<std::uint8_t> bytes;
    };

    // The port "<client>:midi_playback".
    explicit JackPhysicalPort(const std::string& client);
    ~JackPhysicalPort();

    std::string name() const { return name_; }
    std::uint32_t sampleRate() const { return sampleRate_; }
    std::uint32_t cycleFrames() const { return cycleFrames_; }

    std::vector<Event> events() const;
    // Waits (at most 30 s, a guard against hanging) until that many bytes have arrived.
    bool waitForBytes(std::size_t count) const;

private:
    static int process(std::uint32_t frames, void* self);

    std::string name_;
    _jack_client* client_ = nullptr;
    _jack_port* port_ = nullptr;
    std::uint32_t sampleRate_ = 0;
    std::uint32_t cycleFrames_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Event> events_;
    std::size_t bytes_ = 0;
};

}  // namespace kaldo::midi::testing
