#pragma once
// How long TMidiOut::SysEx waits for a block to leave before it gives up. A block never takes longer
// than its time on a classic MIDI cable: 31,250 baud, ten bits per byte (start, eight data, stop),
// so 3,125 bytes a second or 0.32 ms a byte. A USB or software port is faster; a slow one is at
// least that fast. The margin covers opening the way (a JACK cycle, a driver's queue, a USB frame)
// and a loaded machine. A 6-byte request may take 2,002 ms, a 1 MiB image 337.6 s: generous for a
// healthy port, and still an end for a refused block or a vanished device, which would otherwise
// never be marked done.
#include <chrono>
#include <cstddef>

namespace kaldo::midi {

inline constexpr std::chrono::milliseconds kSysExWaitMargin{2000};

constexpr std::chrono::milliseconds sysExWaitLimit(std::size_t length) {
    // length bytes * 10 bits / 31,250 bits per second, in milliseconds, rounded up.
    return std::chrono::milliseconds((length * 10 * 1000 + 31249) / 31250) + kSysExWaitMargin;
}

}  // namespace kaldo::midi
