#pragma once
// How fast a message may leave: a property of where it goes, not of who sends it. A hardware port
// drops whatever does not fit into its buffer and a software receiver's queue loses everything on
// an overflow, while both report success to the sender. So nothing is written before the
// destination has room for it:
// - a destination that reports its room (an ALSA card's output buffer in bytes, a software
//   receiver's queue in cells) takes a message once the report shows room for all of it;
// - one that reports nothing is taken to drain at the classic MIDI rate, 3,125 bytes a second
//   (31,250 baud, ten bits a byte), and is never sent more than 3 KB ahead of that.
// A block has left once the destination shows an empty buffer, or, reporting nothing, once the
// estimate has run dry. The rule keeps no clock of its own: the sender says what time it is, in
// whatever time the destination drains in (the steady clock, a JACK server's frames).
#include <chrono>
#include <cstddef>
#include <optional>

namespace kaldo::midi {

class SendPacing {
public:
    using Time = std::chrono::nanoseconds;  // since any fixed moment, the same for every call

    static constexpr std::size_t kWireBytesPerSecond = 3125;
    static constexpr std::size_t kWireAhead = 3072;
    // The most one message may be for a destination that reports nothing: a piece larger than
    // what may be ahead of the wire could never leave.
    static constexpr std::size_t kLargestWirePiece = 1024;
    // How soon to look again at a destination whose report shows too little room.
    static constexpr Time kReportPoll = std::chrono::milliseconds(2);

    // The room a destination reports, in its own units, and what the next message costs in them.
    struct Room {
        std::size_t free = 0;
        std::size_t size = 0;
        std::size_t cost = 0;
    };

    // How long from `now` until a message of `bytes` bytes may be written: zero when it may go at
    // once. room is the destination's report, or nothing when it gives none.
    Time delayBefore(std::size_t bytes, const std::optional<Room>& room, Time now) const;
    // Every message written, reported or not, so the estimate is right whenever a report is missing.
    void wrote(std::size_t bytes, Time now);
    // How long from `now` until everything written has left the destination's buffer: zero when it has.
    Time delayUntilDrained(const std::optional<Room>& room, Time now) const;

private:
    // Bytes still on their way down the wire at `now`, as the estimate has it.
    std::size_t ahead(Time now) const;
    static Time wireTime(std::size_t bytes);

    std::size_t ahead_ = 0;  // at aheadAt_
    Time aheadAt_{0};
};

}  // namespace kaldo::midi
