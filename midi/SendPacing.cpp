#include "SendPacing.h"

namespace kaldo::midi {

namespace {
constexpr std::chrono::nanoseconds::rep kNanosPerSecond = 1'000'000'000;
}

SendPacing::Time SendPacing::wireTime(std::size_t bytes) {
    // 320,000 ns a byte exactly, so the estimate is never ahead of the wire by rounding.
    return Time(static_cast<Time::rep>(bytes) *
                (kNanosPerSecond / static_cast<Time::rep>(kWireBytesPerSecond)));
}

// Whole bytes only: the estimate rounds toward "still on the wire".
std::size_t SendPacing::ahead(Time now) const {
    if (now <= aheadAt_) return ahead_;
    const auto drained = static_cast<std::size_t>(
        (now - aheadAt_).count() * static_cast<Time::rep>(kWireBytesPerSecond) / kNanosPerSecond);
    return drained >= ahead_ ? 0 : ahead_ - drained;
}

SendPacing::Time SendPacing::delayBefore(std::size_t bytes, const std::optional<Room>& room, Time now) const {
    if (room) return room->free >= room->cost ? Time(0) : kReportPoll;
    const std::size_t onTheWire = ahead(now);
    // An idle line takes any message; otherwise it waits until the wire has made the room.
    if (onTheWire == 0 || onTheWire + bytes <= kWireAhead) return Time(0);
    return wireTime(onTheWire + bytes - kWireAhead);
}

void SendPacing::wrote(std::size_t bytes, Time now) {
    ahead_ = ahead(now) + bytes;
    aheadAt_ = now;
}

SendPacing::Time SendPacing::delayUntilDrained(const std::optional<Room>& room, Time now) const {
    if (room) return room->free >= room->size ? Time(0) : kReportPoll;
    return wireTime(ahead(now));
}

}  // namespace kaldo::midi
