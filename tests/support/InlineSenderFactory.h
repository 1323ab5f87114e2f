#pragma once
// Block senders for tests on virtual time.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "BlockSender.h"
#include "MidiLink.h"
#include "VirtualClock.h"

namespace kaldo::test {

// Sends in start(), on the window thread, so virtual time stays deterministic; with a send time,
// the block leaves that many virtual milliseconds later.
class InlineSenderFactory : public BlockSenderFactory {
public:
    InlineSenderFactory(VirtualClock& clock) : clock_(clock) {}

    std::unique_ptr<BlockSender> make(MidiLink& link) override {
        ++made;
        if (onMake) onMake(made);
        return std::make_unique<Sender>(link, clock_, sendTimeMs);
    }

    int sendTimeMs = 0;
    int made = 0;
    std::function<void(int made)> onMake;

private:
    class Sender : public BlockSender {
    public:
        Sender(MidiLink& link, VirtualClock& clock, int delay) : link_(link), clock_(clock), delay_(delay) {}
        ~Sender() override { finish(); }
        void start(const std::uint8_t* data, std::size_t length) override {
            if (delay_ == 0) return send(data, length);
            clock_.schedule(delay_, [this, data, length] { send(data, length); });
        }
        bool done() const override { return done_; }
        bool finish() override {
            while (!done_) clock_.pause(1);
            return sent_;
        }

    private:
        void send(const std::uint8_t* data, std::size_t length) {
            sent_ = link_.sysEx(data, length);
            done_ = true;
            clock_.notify();  // as the sender thread does
        }
        MidiLink& link_;
        VirtualClock& clock_;
        int delay_;
        bool done_ = false;
        bool sent_ = false;
    };

    VirtualClock& clock_;
};

}  // namespace kaldo::test
