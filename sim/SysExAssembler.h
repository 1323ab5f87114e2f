#pragma once
// Whole System Exclusive messages out of the pieces a MIDI input hands over. Some backends split a big
// message into pieces and some run two messages together; a message begins at F0 and is complete at
// F7. Real-time bytes inside a message are dropped, as MIDI lets them interleave; a message cut off by
// the next F0 or by another status byte is lost, as a receiver loses it on the wire.
#include <cstdint>
#include <span>
#include <vector>

namespace kaldo::sim {

class SysExAssembler {
public:
    // The messages that the piece completes, in order.
    std::vector<std::vector<std::uint8_t>> feed(std::span<const std::uint8_t> piece);

    bool inMessage() const { return inMessage_; }

private:
    bool inMessage_ = false;
    std::vector<std::uint8_t> message_;
};

}  // namespace kaldo::sim
