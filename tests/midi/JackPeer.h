#pragma once
// The other end of the line on the test's JACK server: a client of its own with a virtual input
// (what it hears, as RtMidi hands it over) and a virtual output. Optionally answers the Identity
// Request as the amp does.
#include <RtMidi.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Version.h"

namespace kaldo::midi::testing {

class JackPeer {
public:
    // Ports "<client>:in" and "<client>-out:out" (RtMidi opens a JACK client per direction).
    explicit JackPeer(const std::string& client, std::optional<PackedVersion> answerIdentity = std::nullopt);
    ~JackPeer();

    std::string inName() const { return client_ + ":in"; }
    std::string outName() const { return client_ + "-out:out"; }

    // Messages heard so far, as RtMidi delivered them.
    std::vector<std::vector<std::uint8_t>> heard() const;
    // Waits (at most 20 s, a guard against hanging) until count messages were heard.
    bool waitForMessages(std::size_t count) const;

    void send(const std::vector<std::uint8_t>& message);

private:
    static void callback(double, std::vector<unsigned char>* message, void* self);

    std::string client_;
    std::optional<PackedVersion> answerIdentity_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<std::vector<std::uint8_t>> heard_;
    std::unique_ptr<RtMidiOut> out_;
    std::unique_ptr<RtMidiIn> in_;
};

}  // namespace kaldo::midi::testing
