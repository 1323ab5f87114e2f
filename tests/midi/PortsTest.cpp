// TMidiOut and TMidiIn over an in-memory MIDI system: the component rules, without a MIDI system.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "FakeMidi.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

namespace kaldo::midi {
namespace {

using testing::FakeMidi;

std::shared_ptr<FakeMidi> thirteenDevices() {
    auto midi = std::make_shared<FakeMidi>();
    for (int i = 0; i < 13; ++i) {
        midi->outputs.push_back("Out " + std::to_string(i));
        midi->inputs.push_back("In " + std::to_string(i));
    }
    return midi;
}

TEST(TMidiOut, ListsAtMostTwelveDevicesInOrderAndIgnoresPortsBeyond) {
    auto midi = thirteenDevices();
    TMidiOut out(midi);
    EXPECT_EQ(out.NumDevs(), 12);
    EXPECT_EQ(out.deviceName(0), "Out 0");
    EXPECT_EQ(out.deviceName(11), "Out 11");
    EXPECT_FALSE(out.Using());
    EXPECT_EQ(out.Port(), 0);
    EXPECT_EQ(out.openResult(), 0u);

    out.SetPort(3);
    out.SetUsing(true);
    out.SetPort(12);  // the 13th device cannot be chosen
    out.SetPort(40);
    EXPECT_EQ(out.Port(), 3);
    EXPECT_EQ(midi->openOutputs(), std::vector<std::string>{"Out 3"});

    out.SetPort(5);  // while open: the old one closes, the new one opens
    EXPECT_TRUE(out.Using());
    EXPECT_EQ(out.Port(), 5);
    EXPECT_EQ(midi->openOutputs(), std::vector<std::string>{"Out 5"});
    out.SetUsing(false);
    EXPECT_TRUE(midi->openOutputs().empty());
    EXPECT_EQ(out.closeResult(), 0u);
}

TEST(TMidiOut, FailedOpenLeavesUsingTrueAndItsResult) {
    auto midi = thirteenDevices();
    midi->refusing.insert("Out 2");
    TMidiOut out(midi);
    out.SetPort(2);
    out.SetUsing(true);
    EXPECT_TRUE(out.Using());
    EXPECT_NE(out.openResult(), 0u);
    const std::uint8_t block[] = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
    EXPECT_FALSE(out.SysEx(block, sizeof block));  // nothing can leave a port that never opened
    out.Put2(0xC0, 1);
    EXPECT_TRUE(midi->sent().empty());
    out.SetUsing(false);
    EXPECT_EQ(out.closeResult(), kResultInvalidHandle);

    out.SetPort(1);  // a good device afterwards: the result is the new open's
    out.SetUsing(true);
    EXPECT_EQ(out.openResult(), 0u);
}

TEST(TMidiOut, SendsShortMessagesAndSysExOnlyWhenOpenAndLongEnough) {
    auto midi = thirteenDevices();
    TMidiOut out(midi);
    const std::uint8_t block[] = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
    EXPECT_FALSE(out.SysEx(block, sizeof block));
    out.Put1(0xFE);
    out.SetUsing(false);  // while closed: nothing at all
    EXPECT_TRUE(midi->sent().empty());

    out.SetUsing(true);
    EXPECT_FALSE(out.SysEx(block, 2));
    EXPECT_TRUE(out.SysEx(block, sizeof block));
    out.Put1(0xFE);
    out.Put2(0xC0, 0x05);
    out.Put3(0x90, 0x40, 0x7F);
    out.Put2Direct(0x0005C0u);
    out.Put2Direct(0x7F4090u);
    const auto sent = midi->sent();
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[0].bytes, std::vector<std::uint8_t>(block, block + 6));
    EXPECT_TRUE(sent[0].sysEx);
    EXPECT_EQ(sent[1].bytes, (std::vector<std::uint8_t>{0xFE}));
    EXPECT_EQ(sent[2].bytes, (std::vector<std::uint8_t>{0xC0, 0x05}));
    EXPECT_EQ(sent[3].bytes, (std::vector<std::uint8_t>{0x90, 0x40, 0x7F}));
    EXPECT_EQ(sent[4].bytes, (std::vector<std::uint8_t>{0xC0, 0x05}));
    EXPECT_EQ(sent[5].bytes, (std::vector<std::uint8_t>{0x90, 0x40, 0x7F}));

    midi->sendsFail = true;  // a refused block is never reported as sent
    EXPECT_FALSE(out.SysEx(block, sizeof block));
}

TEST(TMidiOut, CanBeLookedAtWhileTheSenderThreadSendsAndClosesAfterTheSend) {
    auto midi = thirteenDevices();
    TMidiOut out(midi);
    out.SetUsing(true);
    midi->holdSysEx();
    const std::vector<std::uint8_t> block{0xF0, 0x01, 0x02, 0xF7};
    std::atomic<bool> sent{false};
    std::thread sender([&] { sent = out.SysEx(block.data(), block.size()); });
    while (!midi->sysExWaiting()) std::this_thread::yield();
    // The window thread, meanwhile, renders its menus: nothing here may wait for the send.
    EXPECT_TRUE(out.Using());
    EXPECT_EQ(out.NumDevs(), 12);
    EXPECT_EQ(out.openResult(), 0u);
    std::thread closer([&] { out.SetUsing(false); });  // a close waits for the block ...
    midi->release();
    sender.join();
    closer.join();
    EXPECT_TRUE(sent);  // ... which left whole
    EXPECT_FALSE(out.Using());
    EXPECT_EQ(midi->sent().size(), 1u);
}

TEST(TMidiOut, DestroyAndInitReEnumerateWithoutChangingUsing) {
    auto midi = std::make_shared<FakeMidi>();
    midi->outputs = {"A", "B"};
    TMidiOut out(midi);
    out.SetUsing(true);
    out.Destroy();
    EXPECT_TRUE(out.Using());
    EXPECT_EQ(out.NumDevs(), 0);
    EXPECT_TRUE(midi->openOutputs().empty());
    midi->outputs = {"A", "B", "C"};
    out.Init();
    EXPECT_EQ(out.NumDevs(), 3);
    out.SetUsing(false);  // the stale handle: the platform answers with an error
    EXPECT_EQ(out.closeResult(), kResultInvalidHandle);

    midi->outputs = {"C"};
    out.Reset();
    EXPECT_EQ(out.NumDevs(), 1);
    EXPECT_EQ(out.deviceName(0), "C");
}

struct Deliveries {
    std::mutex mutex;
    std::vector<std::vector<std::uint8_t>> sysEx;
    std::vector<std::array<std::uint8_t, 3>> shorts;
    std::vector<std::thread::id> threads;
};

void bind(TMidiIn& in, Deliveries& d) {
    in.OnSysEx = [&d](TMidiIn&, const std::uint8_t* bytes, int size) {
        std::lock_guard lock(d.mutex);
        d.sysEx.emplace_back(bytes, bytes + size);
        d.threads.push_back(std::this_thread::get_id());
    };
    in.OnShort = [&d](TMidiIn&, std::uint8_t s, std::uint8_t f, std::uint8_t t) {
        std::lock_guard lock(d.mutex);
        d.shorts.push_back({s, f, t});
    };
}

TEST(TMidiIn, DeliversOnTheMidiThreadAsAskedAndReopens) {
    auto midi = thirteenDevices();
    TMidiIn in(midi);
    EXPECT_EQ(in.NumDevs(), 12);
    Deliveries d;
    bind(in, d);
    in.SetPort(4);
    in.SetUsing(true);
    EXPECT_EQ(midi->openInputs(), std::vector<std::string>{"In 4"});

    std::thread midiThread([&] {
        midi->inject("In 4", {0xF0, 0x01, 0xF7});
        midi->inject("In 4", {0xB0, 0x07, 0x64});
    });
    midiThread.join();
    in.SetUseShort(false);
    midi->inject("In 4", {0xB0, 0x07, 0x00});
    in.SetUseSysEx(false);
    midi->inject("In 4", {0xF0, 0x02, 0xF7});
    {
        std::lock_guard lock(d.mutex);
        ASSERT_EQ(d.sysEx.size(), 1u);
        EXPECT_NE(d.threads[0], std::this_thread::get_id());
        ASSERT_EQ(d.shorts.size(), 1u);
        EXPECT_EQ(d.shorts[0], (std::array<std::uint8_t, 3>{0xB0, 0x07, 0x64}));
    }

    in.SetUsing(false);
    EXPECT_FALSE(midi->inject("In 4", {0xF0, 0x03, 0xF7}));
    in.Destroy();
    in.Init();  // re-enumeration asks for everything again
    EXPECT_TRUE(in.UseShort());
    EXPECT_TRUE(in.UseSysEx());
    in.SetUsing(true);
    midi->inject("In 4", {0xF0, 0x04, 0xF7});
    std::lock_guard lock(d.mutex);
    ASSERT_EQ(d.sysEx.size(), 2u);
    EXPECT_EQ(d.sysEx[1], (std::vector<std::uint8_t>{0xF0, 0x04, 0xF7}));
}

TEST(TMidiIn, NothingIsDeliveredOnceClosingHasBegun) {
    auto midi = thirteenDevices();
    TMidiIn in(midi);
    std::atomic<bool> closed{false};
    std::atomic<int> lateCalls{0};
    std::atomic<int> calls{0};
    in.OnSysEx = [&](TMidiIn&, const std::uint8_t*, int) {
        ++calls;
        if (closed) ++lateCalls;
    };
    in.SetUsing(true);
    std::atomic<bool> stop{false};
    // The MIDI thread keeps delivering while the window thread closes and reopens.
    std::thread midiThread([&] {
        while (!stop) midi->inject("In 0", {0xF0, 0x01, 0xF7});
    });
    for (int i = 0; i < 50; ++i) {
        const int before = calls;
        while (calls == before) std::this_thread::yield();  // input is arriving ...
        in.SetUsing(false);                                  // ... while the port closes
        closed = true;
        std::this_thread::yield();
        closed = false;
        in.SetUsing(true);
    }
    stop = true;
    midiThread.join();
    EXPECT_EQ(lateCalls, 0);
}

TEST(TMidiIn, FailedOpenAndPortRules) {
    auto midi = thirteenDevices();
    midi->refusing.insert("In 1");
    TMidiIn in(midi);
    in.SetPort(1);
    in.SetUsing(true);
    EXPECT_TRUE(in.Using());
    EXPECT_NE(in.openResult(), 0u);
    in.SetPort(12);
    EXPECT_EQ(in.Port(), 1);
    in.SetPort(2);
    EXPECT_EQ(in.openResult(), 0u);
    EXPECT_EQ(midi->openInputs(), std::vector<std::string>{"In 2"});
    in.SetUsing(false);
    in.SetUsing(false);  // while closed: nothing happens
    EXPECT_FALSE(in.Using());
}

}  // namespace
}  // namespace kaldo::midi
