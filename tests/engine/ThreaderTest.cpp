// The sender thread against a MIDI output that takes its time.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "MidiLink.h"
#include "Threader.h"
#include "VirtualClock.h"

namespace kaldo {
namespace {

// An output whose send returns only when the test lets it.
class GatedLink : public MidiLink {
public:
    bool outPortReady() const override { return true; }
    bool inPortReady() const override { return true; }
    bool sysEx(const std::uint8_t* data, std::size_t length) override {
        std::unique_lock lock(mutex_);
        received.assign(data, data + length);
        started = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open; });
        return accept;
    }
    void put2(std::uint8_t, std::uint8_t) override {}
    void deSelectCurrentMidi() override {}
    void populateMidiSelect() override {}
    void reCheckForMidiDevices() override {}
    int platformOutputCount() override { return 1; }

    void waitStarted() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return started; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        open = true;
        changed_.notify_all();
    }

    std::vector<std::uint8_t> received;
    bool started = false;
    bool open = false;
    bool accept = true;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
};

TEST(Threader, RaisesItsDoneFlagOnceTheBlockHasLeftAndWakesTheWait) {
    GatedLink link;
    VirtualClock clock;
    ThreaderFactory factory(&clock);
    auto sender = factory.make(link);
    const std::vector<std::uint8_t> block{0xF0, 0x01, 0x02, 0xF7};
    sender->start(block.data(), block.size());
    link.waitStarted();
    EXPECT_FALSE(sender->done());
    link.release();
    EXPECT_TRUE(sender->finish());
    EXPECT_TRUE(sender->done());
    EXPECT_EQ(link.received, block);
    // The notify is waiting for the next wait: it returns at once.
    clock.waitForNotify(1000);
    EXPECT_EQ(clock.nowMs(), 0);
}

TEST(Threader, ReportsARefusedBlock) {
    GatedLink link;
    link.accept = false;
    link.release();
    Threader sender(link, nullptr);
    const std::uint8_t block[] = {0xF0, 0xF7};
    sender.start(block, sizeof block);
    EXPECT_FALSE(sender.finish());
    EXPECT_FALSE(sender.finish());  // asking again changes nothing
}

TEST(Threader, DeletingItWaitsForTheSendToEnd) {
    GatedLink link;
    const std::uint8_t block[] = {0xF0, 0x05, 0xF7};
    {
        Threader sender(link, nullptr);
        sender.start(block, sizeof block);
        link.waitStarted();
        link.release();
    }
    EXPECT_EQ(link.received.size(), 3u);
}

}  // namespace
}  // namespace kaldo
