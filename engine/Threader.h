#pragma once
// The sender thread (threader): sends one block through the MIDI output on a thread of its own, so
// the window thread stays free to animate and to see replies, then raises its done flag.
#include <atomic>
#include <thread>

#include "BlockSender.h"

namespace kaldo {

class Clock;

class Threader : public BlockSender {
public:
    // wake, when given, is notified once the block has left, so that a wait ends at once.
    Threader(MidiLink& link, Clock* wake);
    ~Threader() override;

    void start(const std::uint8_t* data, std::size_t length) override;
    bool done() const override;
    bool finish() override;

private:
    MidiLink& link_;
    Clock* wake_;
    std::thread thread_;
    std::atomic<bool> done_{false};
    bool sent_ = false;  // written by the thread before done_, read after the join
};

class ThreaderFactory : public BlockSenderFactory {
public:
    explicit ThreaderFactory(Clock* wake = nullptr) : wake_(wake) {}
    std::unique_ptr<BlockSender> make(MidiLink& link) override;

private:
    Clock* wake_;
};

}  // namespace kaldo
