#pragma once
// How long a send waits for its destination.
//
// A destination that shows how it drains (on the ALSA sequencer a card's rawmidi buffer, a program's
// input queue) is given as long as it keeps draining, however long the block: the send fails once
// it has taken nothing for kNoProgressLimit. A limit on the whole block would fail a 1 MiB image to
// any interface a little slower than the cable's rate, after more than five minutes.
//
// One that shows nothing is given the block's time on a classic MIDI cable: 31,250 baud, ten bits
// per byte (start, eight data, stop), so 3,125 bytes a second or 0.32 ms a byte. A USB or software
// port is faster; a slow one is at least that fast. The margin covers opening the way (a JACK cycle,
// a driver's queue, a USB frame) and a loaded machine. A 6-byte request may take 2,002 ms, a 1 MiB
// image 337.6 s: generous for a healthy port, and still an end for a refused block or a vanished
// device, which would otherwise never be marked done.
#include <chrono>
#include <cstddef>

namespace kaldo::midi {

inline constexpr std::chrono::milliseconds kSysExWaitMargin{2000};

// A destination that shows its progress and has taken nothing for this long has stopped: a device
// that no longer reads, a program that hangs. A healthy one takes bytes every few milliseconds.
inline constexpr std::chrono::milliseconds kNoProgressLimit{2000};

constexpr std::chrono::milliseconds sysExWaitLimit(std::size_t length) {
    // length bytes * 10 bits / 31,250 bits per second, in milliseconds, rounded up.
    return std::chrono::milliseconds((length * 10 * 1000 + 31249) / 31250) + kSysExWaitMargin;
}

}  // namespace kaldo::midi
