// TMidiOut, TMidiIn and the device selection on a real MIDI system: the test suite's own JACK
// server (JACK_DEFAULT_SERVER), with a peer client in this process at the other end.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "JackPeer.h"
#include "JackPhysicalPort.h"
#include "Memo.h"
#include "Messages.h"
#include "MidiSelection.h"
#include "RtMidiBackend.h"
#include "SystemMidi.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "RecordingUi.h"

namespace kaldo::midi {
namespace {

using testing::JackPeer;
using testing::JackPhysicalPort;

std::shared_ptr<MidiBackend> jack(const std::string& client) {
    return std::make_shared<RtMidiBackend>(RtMidi::UNIX_JACK, client);
}

template <class Port>
int deviceNumber(const Port& port, const std::string& name) {
    for (int i = 0; i < port.NumDevs(); ++i) {
        if (port.deviceName(i) == name) return i;
    }
    return -1;
}

std::vector<std::uint8_t> sysExBlock(std::size_t length) {
    std::vector<std::uint8_t> block(length);
    for (std::size_t i = 0; i < length; ++i) block[i] = static_cast<std::uint8_t>((i * 31 + i / 1000) & 0x7F);
    block.front() = 0xF0;
    block.back() = 0xF7;
    return block;
}

struct Collected {
    mutable std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::vector<std::uint8_t>> sysEx;
    std::vector<std::array<std::uint8_t, 3>> shorts;
    std::size_t bytes = 0;

    void bind(TMidiIn& in) {
        in.OnSysEx = [this](TMidiIn&, const std::uint8_t* data, int size) {
            std::lock_guard lock(mutex);
            sysEx.emplace_back(data, data + size);
            bytes += static_cast<std::size_t>(size);
            arrived.notify_all();
        };
        in.OnShort = [this](TMidiIn&, std::uint8_t s, std::uint8_t f, std::uint8_t t) {
            std::lock_guard lock(mutex);
            shorts.push_back({s, f, t});
            arrived.notify_all();
        };
    }
    template <class Pred>
    bool waitUntil(Pred pred) {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, std::chrono::seconds(20), [&] { return pred(*this); });
    }
};

TEST(JackMidi, TheSystemsChoiceHereIsJack) {
    // This machine kind has no ALSA sequencer; the test's JACK server is the MIDI system.
    if (access("/dev/snd/seq", F_OK) == 0) GTEST_SKIP() << "an ALSA sequencer is present";
    EXPECT_EQ(systemMidiName(), "JACK");
    JackPeer peer("kaldo-peer-choice");
    const auto names = systemMidi("kaldo-updater")->outputNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), peer.inName()), 1);
}

TEST(JackMidi, SysExOfEverySizeArrivesIntactAtBothKindsOfReceiver) {
    JackPeer peer("kaldo-peer-sysex");
    TMidiOut out(jack("kaldo-tx"));
    out.SetPort(deviceNumber(out, peer.inName()));
    out.SetUsing(true);
    ASSERT_EQ(out.openResult(), 0u);

    // Our own input listens to the output port too, from a client of another name.
    TMidiIn in(jack("kaldo-rx"));
    Collected got;
    got.bind(in);
    in.SetPort(deviceNumber(in, "kaldo-tx:out"));
    in.SetUsing(true);
    ASSERT_EQ(in.openResult(), 0u);

    std::size_t heard = 0;
    for (const std::size_t length : {6u, 37u, 4096u, 16380u, 52576u, 1048576u}) {
        const auto block = sysExBlock(length);
        std::size_t before;
        {
            std::lock_guard lock(got.mutex);
            before = got.sysEx.size();
            got.bytes = 0;
        }
        ASSERT_TRUE(out.SysEx(block.data(), block.size())) << length;

        // RtMidi's JACK input joins the pieces back into one message.
        ASSERT_TRUE(peer.waitForMessages(++heard)) << length;
        EXPECT_EQ(peer.heard().back(), block) << length;

        // TMidiIn hands it on in 16,000-byte buffers, in order.
        ASSERT_TRUE(got.waitUntil([&](const Collected& c) { return c.bytes >= length; }))
            << length << " bytes sent, " << got.bytes << " received in " << got.sysEx.size() - before << " buffers";
        std::lock_guard lock(got.mutex);
        std::vector<std::uint8_t> joined;
        for (std::size_t i = before; i < got.sysEx.size(); ++i) {
            const auto& buffer = got.sysEx[i];
            EXPECT_EQ(buffer.size(), i + 1 < got.sysEx.size() ? 16000u : (length - 1) % 16000 + 1);
            joined.insert(joined.end(), buffer.begin(), buffer.end());
        }
        EXPECT_EQ(joined, block) << length;
    }
    EXPECT_EQ(peer.heard().size(), heard);  // nothing twice, nothing extra
}

// A hardware interface drains at the wire's rate, 3,125 bytes a second: toward a physical port
// the block leaves no faster than that, at most 3 KB ahead, in the server's own time. The arrival
// frames may lag a write by a cycle, since a piece leaves with the next cycle that empties the ring.
// The connection is driven directly, with a time limit of its own: on a loaded machine the dummy
// driver's frames fall behind the wall clock, and the pacing keeps to the frames.
TEST(JackMidi, APhysicalPortIsSentNoFasterThanTheWire) {
    JackPhysicalPort interface("kaldo-hw");
    auto opened = jack("kaldo-tx")->openOutput(interface.name());
    ASSERT_EQ(opened.result, 0u);

    // Three and a half pieces' worth past what may go at once: a few seconds of wire.
    const auto block = sysExBlock(7000);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    ASSERT_TRUE(opened.connection->sendSysEx(block, limit));
    ASSERT_TRUE(opened.connection->sendShort(std::vector<std::uint8_t>{0xC0, 0x05}));
    ASSERT_TRUE(interface.waitForBytes(block.size() + 2));

    const auto events = interface.events();
    std::vector<std::uint8_t> joined;
    for (const auto& event : events) joined.insert(joined.end(), event.bytes.begin(), event.bytes.end());
    auto expected = block;
    expected.insert(expected.end(), {0xC0, 0x05});
    EXPECT_EQ(joined, expected);

    const double bytesPerFrame = 3125.0 / interface.sampleRate();
    const double slack = 2.0 * interface.cycleFrames();
    for (std::size_t i = 0; i < events.size(); ++i) {
        std::size_t bytes = 0;
        for (std::size_t j = i; j < events.size(); ++j) {
            bytes += events[j].bytes.size();
            const double frames = static_cast<double>(events[j].frame - events[i].frame);
            EXPECT_LE(static_cast<double>(bytes), 3072.0 + bytesPerFrame * (frames + slack))
                << bytes << " bytes from event " << i << " to " << j << " within " << frames << " frames";
        }
    }
}

TEST(JackMidi, ShortMessagesBothWays) {
    JackPeer peer("kaldo-peer-short");
    TMidiOut out(jack("kaldo-updater"));
    TMidiIn in(jack("kaldo-updater"));
    Collected got;
    got.bind(in);
    out.SetPort(deviceNumber(out, peer.inName()));
    in.SetPort(deviceNumber(in, peer.outName()));
    out.SetUsing(true);
    in.SetUsing(true);
    out.Put2(0xC0, 0x05);
    out.Put3(0x90, 0x40, 0x7F);
    ASSERT_TRUE(peer.waitForMessages(2));
    EXPECT_EQ(peer.heard()[0], (std::vector<std::uint8_t>{0xC0, 0x05}));
    EXPECT_EQ(peer.heard()[1], (std::vector<std::uint8_t>{0x90, 0x40, 0x7F}));

    peer.send({0xB0, 0x07, 0x64});
    ASSERT_TRUE(got.waitUntil([](const Collected& c) { return !c.shorts.empty(); }));
    std::lock_guard lock(got.mutex);
    EXPECT_EQ(got.shorts[0], (std::array<std::uint8_t, 3>{0xB0, 0x07, 0x64}));
}

TEST(JackMidi, IdentityExchange) {
    JackPeer amp("kaldo-peer-amp", 0x00020803u);
    TMidiOut out(jack("kaldo-updater"));
    TMidiIn in(jack("kaldo-updater"));
    Collected got;
    got.bind(in);
    out.SetPort(deviceNumber(out, amp.inName()));
    in.SetPort(deviceNumber(in, amp.outName()));
    out.SetUsing(true);
    in.SetUsing(true);
    ASSERT_TRUE(out.SysEx(kIdentityRequest.data(), kIdentityRequest.size()));
    ASSERT_TRUE(got.waitUntil([](const Collected& c) { return !c.sysEx.empty(); }));
    std::lock_guard lock(got.mutex);
    const auto reply = identityReplyOf(got.sysEx[0]);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->text, "02.83");
}

TEST(JackMidi, ThirteenPortsGiveTwelveDevices) {
    std::vector<std::unique_ptr<RtMidiIn>> ports;
    for (int i = 0; i < 13; ++i) {
        ports.push_back(std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "kaldo-peer-" + std::to_string(i)));
        ports.back()->openVirtualPort("in");
    }
    auto backend = jack("kaldo-updater");
    TMidiOut out(backend);
    EXPECT_EQ(backend->outputNames().size(), 13u);
    EXPECT_EQ(out.NumDevs(), 12);
    EXPECT_EQ(out.deviceName(0), "kaldo-peer-0:in");  // in device order
    EXPECT_EQ(out.deviceName(11), "kaldo-peer-11:in");
}

TEST(JackMidi, ADeviceGoneSinceTheListIsNotReadyAndTheChangeIsLogged) {
    auto peer = std::make_unique<JackPeer>("kaldo-peer-gone");
    auto backend = jack("kaldo-updater");
    TMidiOut out(backend);
    TMidiIn in(backend);
    test::RecordingUi ui;
    Memo memo;
    MidiSelection selection(*backend, out, in, ui, memo);
    selection.populateMidiSelect();
    ASSERT_EQ(selection.outItems().size(), 2u);
    peer.reset();

    EXPECT_TRUE(selection.devicesChanged(true).listsChanged);  // locked: the list stays as it was
    EXPECT_EQ(memo.lines().back(), "0007");
    selection.Dev1Click(1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "That port is not ready.");
    EXPECT_NE(out.openResult(), 0u);
    EXPECT_FALSE(out.Using());
    EXPECT_FALSE(selection.outPortReady);
    EXPECT_EQ(selection.selectedOutPort, 0);

    selection.ReCheckforMididevices();
    EXPECT_EQ(selection.outItems().size(), 1u);
    EXPECT_EQ(selection.Label4(), "0");
}

TEST(JackMidi, ClosingWhileInputArrives) {
    JackPeer peer("kaldo-peer-stream");
    TMidiIn in(jack("kaldo-updater"));
    std::atomic<bool> closed{false};
    std::atomic<int> calls{0};
    std::atomic<int> lateCalls{0};
    in.OnSysEx = [&](TMidiIn&, const std::uint8_t*, int) {
        ++calls;
        if (closed) ++lateCalls;
    };
    in.SetPort(deviceNumber(in, peer.outName()));
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        const std::vector<std::uint8_t> message{0xF0, 0x00, 0x00, 0x5A, 0x12, 0x01, 0x7C, 0xF7};
        while (!stop) {
            peer.send(message);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    for (int round = 0; round < 5; ++round) {
        in.SetUsing(true);
        const int before = calls;
        while (calls == before) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        in.SetUsing(false);
        closed = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        closed = false;
    }
    stop = true;
    sender.join();
    EXPECT_EQ(lateCalls, 0);
    EXPECT_GE(calls, 5);
}

}  // namespace
}  // namespace kaldo::midi
