// The Windows MIDI backend against winmm's documented behaviour (FakeWinMm): device names, blocks
// sent in handed-back pieces, a reset after a time-out, input buffers queued before the start and
// given back from the helper thread, a close after which nothing more arrives. The same tests run
// here and, cross-built, under Wine.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "FakeWinMm.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "WinMmBackend.h"

namespace kaldo::midi {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

Bytes sysEx(std::size_t length, std::uint8_t seed = 0) {
    Bytes block(length);
    for (std::size_t i = 0; i < length; ++i) block[i] = static_cast<std::uint8_t>((i * 7 + seed) & 0x7F);
    block.front() = 0xF0;
    block.back() = 0xF7;
    return block;
}

const Bytes kReply{0xF0, 0x7E, 0x00, 0x06, 0x02, 0x00, 0x00, 0x5A, 0x01, 0x00, 0x02, 0x08, 0x03, 0xF7};

// What a receiver was handed, on the helper thread, for the test thread to wait for.
class Received {
public:
    MidiReceiver receiver() {
        return [this](std::span<const std::uint8_t> bytes) {
            std::lock_guard lock(mutex_);
            if (closed_) afterClose_ = true;
            pieces_.emplace_back(bytes.begin(), bytes.end());
            changed_.notify_all();
        };
    }
    // The pieces once there are count of them (at most 30 s: a failing test ends, never hangs).
    std::vector<Bytes> waitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(30), [&] { return pieces_.size() >= count; });
        return pieces_;
    }
    void markClosed() {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    bool calledAfterClose() {
        std::lock_guard lock(mutex_);
        return afterClose_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Bytes> pieces_;
    bool closed_ = false;
    bool afterClose_ = false;
};

class WinMmTest : public ::testing::Test {
protected:
    WinMmTest() {
        winmm.outputs = {u"KALDO USB MIDI", u"Loopback"};
        winmm.inputs = {u"KALDO USB MIDI", u"Loopback"};
    }
    // The rules of winmm held for everything the test did.
    void TearDown() override {
        EXPECT_EQ(winmm.violations(), std::vector<std::string>{});
        EXPECT_EQ(winmm.openHandles(), 0);
        EXPECT_EQ(winmm.preparedHeaders(), 0);
    }

    testing::FakeWinMm winmm;
    std::shared_ptr<WinMmBackend> backend = std::make_shared<WinMmBackend>(winmm.api());
};

TEST_F(WinMmTest, EveryNameIsOneDeviceInUtf8AndListsTheSameAgain) {
    winmm.outputs = {u"USB MIDI Interface", u"Gerät ギター", u"USB MIDI Interface", u"USB MIDI Interface (2)",
                     u"A name longer than thirty-one characters"};
    const std::vector<std::string> expected{"USB MIDI Interface", "Gerät ギター", "USB MIDI Interface (2)",
                                            "USB MIDI Interface (2) (2)", "A name longer than thirty-one c"};
    EXPECT_EQ(backend->outputNames(), expected);
    EXPECT_EQ(backend->outputNames(), expected);
    EXPECT_EQ(backend->inputNames(), (std::vector<std::string>{"KALDO USB MIDI", "Loopback"}));

    // Each name opens its own device.
    for (const unsigned device : {0u, 2u, 3u}) {
        auto opened = backend->openOutput(expected[device]);
        ASSERT_TRUE(opened.connection);
        EXPECT_TRUE(opened.connection->sendShort(Bytes{0xC0, static_cast<std::uint8_t>(device)}));
        EXPECT_EQ(winmm.sentShortMessages(device), std::vector<std::uint32_t>{0xC0 | device << 8});
    }
}

TEST_F(WinMmTest, OpensThatFailCarryWinmmsResult) {
    winmm.refusing = {1};
    const auto taken = backend->openOutput("Loopback");
    EXPECT_FALSE(taken.connection);
    EXPECT_EQ(taken.result, winmm::kAllocated);
    const auto gone = backend->openInput("Unplugged", [](std::span<const std::uint8_t>) {});
    EXPECT_FALSE(gone.connection);
    EXPECT_EQ(gone.result, kResultBadDeviceId);
}

TEST_F(WinMmTest, BlocksLeaveInHandedBackPiecesOfAtMost16000Bytes) {
    auto out = backend->openOutput("KALDO USB MIDI").connection;
    ASSERT_TRUE(out);
    for (const std::size_t length : {6u, 16000u, 40000u, 1048576u}) {
        const Bytes block = sysEx(length, static_cast<std::uint8_t>(length));
        const std::size_t before = winmm.sentBuffers(0).size();
        ASSERT_TRUE(out->sendSysEx(block, Clock::now() + std::chrono::minutes(5))) << length;
        const auto buffers = winmm.sentBuffers(0);
        ASSERT_EQ(buffers.size() - before, (length + 15999) / 16000) << length;
        Bytes joined;
        for (std::size_t i = before; i < buffers.size(); ++i) {
            EXPECT_LE(buffers[i].size(), 16000u);
            joined.insert(joined.end(), buffers[i].begin(), buffers[i].end());
        }
        EXPECT_EQ(joined, block) << length;
        // Each piece was handed back and unprepared before the send returned.
        EXPECT_EQ(winmm.preparedHeaders(), 0);
    }
    EXPECT_TRUE(out->sendShort(Bytes{0xB0, 0x07, 0x64}));
    EXPECT_EQ(winmm.sentShortMessages(0), std::vector<std::uint32_t>{0x6407B0});
}

TEST_F(WinMmTest, ABlockNotHandedBackInTimeIsResetAndTheDeviceServesAgain) {
    auto out = backend->openOutput("KALDO USB MIDI").connection;
    ASSERT_TRUE(out);
    winmm.stallOutput(true);
    const Bytes block = sysEx(40000);
    EXPECT_FALSE(out->sendSysEx(block, Clock::now()));  // the deadline has passed: no waiting
    EXPECT_EQ(winmm.resets(0), 1);
    EXPECT_EQ(winmm.preparedHeaders(), 0);
    EXPECT_TRUE(winmm.sentBuffers(0).empty());

    winmm.stallOutput(false);
    EXPECT_TRUE(out->sendSysEx(block, Clock::now() + std::chrono::minutes(1)));
    EXPECT_EQ(winmm.sentBuffers(0).size(), 3u);

    // A block the driver refuses is a failed send, with its header unprepared again.
    winmm.answerLongMessages(winmm::kNotReady);
    EXPECT_FALSE(out->sendSysEx(block, Clock::now() + std::chrono::minutes(1)));
    EXPECT_EQ(winmm.sentBuffers(0).size(), 3u);
}

TEST_F(WinMmTest, InputComesInTheDriversBuffersAndShortMessagesWhole) {
    Received received;
    auto in = backend->openInput("KALDO USB MIDI", received.receiver());
    ASSERT_TRUE(in.connection);
    const Bytes big = sysEx(40000, 3);
    EXPECT_EQ(winmm.arrive(0, kReply), 0u);
    EXPECT_EQ(winmm.arrive(0, big), 0u);
    EXPECT_EQ(winmm.arrive(0, {0x90, 0x40, 0x7F}), 0u);
    EXPECT_EQ(winmm.arrive(0, {0xC0, 0x05}), 0u);
    EXPECT_EQ(winmm.arrive(0, {0xF8}), 0u);
    // A message cut off by a status byte comes back as an error and is not handed on.
    EXPECT_EQ(winmm.arrive(0, {0xF0, 0x00, 0x00, 0x5A}), 0u);
    EXPECT_EQ(winmm.arrive(0, {0x80, 0x40, 0x00}), 0u);

    const auto pieces = received.waitFor(8);
    ASSERT_EQ(pieces.size(), 8u);
    EXPECT_EQ(pieces[0], kReply);
    EXPECT_EQ(pieces[1], Bytes(big.begin(), big.begin() + 16000));
    EXPECT_EQ(pieces[2], Bytes(big.begin() + 16000, big.begin() + 32000));
    EXPECT_EQ(pieces[3], Bytes(big.begin() + 32000, big.end()));
    EXPECT_EQ(pieces[4], (Bytes{0x90, 0x40, 0x7F}));
    EXPECT_EQ(pieces[5], (Bytes{0xC0, 0x05}));
    EXPECT_EQ(pieces[6], (Bytes{0xF8}));
    EXPECT_EQ(pieces[7], (Bytes{0x80, 0x40, 0x00}));
}

TEST_F(WinMmTest, BuffersAreQueuedBeforeTheStartAndGivenBackAfterEachMessage) {
    winmm.arriveAtStart(0, kReply);  // the amp answers the moment the port starts
    Received received;
    auto in = backend->openInput("KALDO USB MIDI", received.receiver());
    ASSERT_TRUE(in.connection);
    EXPECT_EQ(received.waitFor(1), std::vector<Bytes>{kReply});

    // Many more messages than buffers: each comes back to the driver (from the helper thread; the
    // fake reports a buffer call made inside the callback).
    for (std::size_t i = 1; i <= 100; ++i) {
        ASSERT_TRUE(winmm.waitForQueuedBuffers(0, WinMmBackend::kBufferCount)) << "message " << i;
        ASSERT_EQ(winmm.arrive(0, sysEx(20, static_cast<std::uint8_t>(i))), 0u) << "message " << i;
        ASSERT_EQ(received.waitFor(i + 1).size(), i + 1);
    }
}

TEST_F(WinMmTest, ACloseTakesEveryBufferBackAndNothingArrivesAfterIt) {
    Received received;
    auto in = backend->openInput("KALDO USB MIDI", received.receiver());
    ASSERT_TRUE(in.connection);
    // Half a message sits in a buffer; more keeps coming from another thread while the port closes.
    winmm.arrive(0, {0xF0, 0x00, 0x00, 0x5A});
    std::atomic<bool> feeding{true};
    std::thread amp([&] {
        while (feeding) {
            winmm.arrive(0, kReply);
            winmm.arrive(0, {0xF0, 0x00, 0x00, 0x5A});
        }
    });
    received.waitFor(1);
    in.connection.reset();
    received.markClosed();
    for (int i = 0; i < 20; ++i) winmm.arrive(0, kReply);
    feeding = false;
    amp.join();
    EXPECT_FALSE(received.calledAfterClose());
    EXPECT_EQ(winmm.openHandles(), 0);

    // Open again: all 16 buffers are with the driver once more.
    auto again = backend->openInput("KALDO USB MIDI", [](std::span<const std::uint8_t>) {});
    ASSERT_TRUE(again.connection);
    EXPECT_EQ(winmm.queuedBuffers(0), WinMmBackend::kBufferCount);
}

// The components the program uses, over winmm: what the amp hears and what OnSysEx is handed.
TEST_F(WinMmTest, TheComponentsSendWholeBlocksAndHandOnRepliesAsTheyCome) {
    TMidiOut out(backend);
    TMidiIn in(backend);
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> sizes;
    in.OnSysEx = [&](TMidiIn&, const std::uint8_t*, int size) {
        std::lock_guard lock(mutex);
        sizes.push_back(size);
        changed.notify_all();
    };
    out.SetUsing(true);
    in.SetUsing(true);
    ASSERT_EQ(out.openResult(), 0u);
    ASSERT_EQ(in.openResult(), 0u);

    const Bytes block = sysEx(40000);
    EXPECT_TRUE(out.SysEx(block.data(), block.size()));
    winmm.arrive(0, kReply);
    winmm.arrive(0, sysEx(40000));
    {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(30), [&] { return sizes.size() >= 4; });
        EXPECT_EQ(sizes, (std::vector<int>{14, 16000, 16000, 8000}));
    }
    in.SetUsing(false);
    out.SetUsing(false);
}

}  // namespace
}  // namespace kaldo::midi
