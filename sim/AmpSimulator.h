#pragma once
// The amp as a running program, apart from its ports: pieces arrive from the MIDI input thread, and
// one loop thread sends each reply when it is due, prints the transcript, writes the received image,
// closes the ports when the amp vanishes and plays its restart after programming (gone, then back). The input thread only assembles, asks the model and
// queues, so a backend that calls it from its real-time thread is never held up by a send, a print
// or a file.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "AmpModel.h"
#include "SysExAssembler.h"

namespace kaldo::sim {

class AmpSimulator {
public:
    // What the loop does to the amp's MIDI line.
    struct Line {
        std::function<bool(std::span<const std::uint8_t>)> send;  // false when refused
        std::function<void()> leave;     // the amp goes: its ports close, or it is unplugged from USB
        std::function<bool()> comeBack;  // back after a restart, with ports of the same names
    };

    // log gets the transcript when transcript is set, and the simulator's own notes always.
    // imagePath empty: the received image is not written.
    AmpSimulator(AmpModel model, std::ostream& log, bool transcript, std::string imagePath);

    // MIDI input thread: one piece as the backend delivered it.
    void receive(std::span<const std::uint8_t> piece);

    // Runs until stop(). line.leave is called from this loop when the amp vanishes (once) or
    // restarts; line.comeBack when a restart is over.
    void run(const Line& line);

    // Any thread.
    void stop();

private:
    using Due = std::pair<std::chrono::steady_clock::time_point, std::uint64_t>;

    // Under the lock: what the loop has to do now.
    bool workWaiting(std::chrono::steady_clock::time_point now) const;
    // Without the lock: the amp goes, and unless the plan says never, comes back after a while.
    void restart(const Line& line, std::unique_lock<std::mutex>& lock);
    void writeImage(const std::vector<std::uint8_t>& image);

    std::ostream& log_;
    const bool transcript_;
    const std::string imagePath_;

    std::mutex mutex_;
    std::condition_variable wake_;
    AmpModel model_;
    SysExAssembler assembler_;
    std::map<Due, std::vector<std::uint8_t>> pending_;
    std::optional<std::chrono::steady_clock::time_point> restartAt_;
    std::chrono::steady_clock::time_point deafUntil_;  // back from a restart, its MIDI not yet ready
    std::uint64_t sequence_ = 0;
    bool stopping_ = false;
    bool portsClosed_ = false;
    std::size_t linesShown_ = 0;
    int uploadsWritten_ = 0;
};

}  // namespace kaldo::sim
