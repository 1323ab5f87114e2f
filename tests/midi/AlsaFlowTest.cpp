// Big blocks toward the ALSA sequencer, against a model of the kernel: they arrive whole at a card's
// port of any speed and at another program's port, and every way the kernel loses data (an overrun,
// a refusal, another program's bytes, a port that went away or stopped taking data) is a failed
// send, never a success, and never leaves the receiver a block that looks whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>

#include "AlsaKernelModel.h"
#include "IntermediateImage.h"
#include "RawMidiStatus.h"
#include "SysExPieces.h"
#include "SysExWaitLimit.h"
#include "TMidiOut.h"

namespace kaldo::midi {
namespace {

using testing::AlsaKernelModel;
constexpr std::size_t kMiB = 1048576;

std::vector<std::uint8_t> seededSysEx(std::size_t length, std::uint8_t seed = 0) {
    std::vector<std::uint8_t> block(length);
    for (std::size_t i = 0; i < length; ++i)
        block[i] = static_cast<std::uint8_t>((i * 13 + i / 977 + seed) & 0x7F);
    block.front() = 0xF0;
    block.back() = 0xF7;
    return block;
}

std::vector<std::uint8_t> carriedImage() {
    const auto image = intermediateImage();
    return {image.begin(), image.end()};
}

// MidiOut1 on one of the model's ports, opened as the programs open it.
struct Output {
    TMidiOut out;
    Output(const std::shared_ptr<AlsaKernelModel>& model, const std::string& port) : out(model->backend()) {
        for (int i = 0; i < out.NumDevs(); ++i) {
            if (out.deviceName(i) == port) out.SetPort(i);
        }
        out.SetUsing(true);
    }
    bool send(const std::vector<std::uint8_t>& block) { return out.SysEx(block.data(), block.size()); }
};

// The connection itself, for what TMidiOut does not pass on (the result of a short message).
std::unique_ptr<MidiOutConnection> connect(const std::shared_ptr<AlsaKernelModel>& model,
                                           const std::string& port) {
    auto opened = model->backend()->openOutput(port);
    EXPECT_EQ(opened.result, kResultOk);
    return std::move(opened.connection);
}

// The time limit TMidiOut gives a block, on the model's clock.
std::chrono::steady_clock::time_point deadlineFor(const std::shared_ptr<AlsaKernelModel>& model,
                                                  std::size_t length) {
    return model->now() + sysExWaitLimit(length);
}

TEST(AlsaFlow, CardPortsTakeBigBlocksWholeWhateverTheirSpeedAndBuffer) {
    // The cable's rate, a USB link (also one read so slowly that its driver takes bytes between
    // showing its count and its buffer, read after read: the sum looks short), a small buffer, and an
    // interface a little slower than the cable, which needs longer than a 1 MiB block's time on the
    // cable: a card that keeps taking bytes is given the time it takes.
    const std::vector<AlsaKernelModel::CardPort> cards{{.bytesPerSecond = 3125},
                                                       {.bytesPerSecond = 1'000'000},
                                                       {.bytesPerSecond = 1'000'000, .statusReadLasts = std::chrono::microseconds(100)},
                                                       {.bytesPerSecond = 3125, .bufferSize = 512},
                                                       {.bytesPerSecond = 3000}};
    for (const auto& card : cards) {
        for (const auto& block : {carriedImage(), seededSysEx(kMiB)}) {
            SCOPED_TRACE(std::to_string(block.size()) + " bytes at " + std::to_string(card.bytesPerSecond) +
                         " B/s through a buffer of " + std::to_string(card.bufferSize));
            auto model = std::make_shared<AlsaKernelModel>();
            const auto port = model->addCardPort(card);
            Output output(model, port);
            ASSERT_EQ(output.out.openResult(), kResultOk);
            EXPECT_TRUE(output.send(block));
            EXPECT_EQ(model->overruns(port), 0u);
            model->pause(std::chrono::seconds(1));  // the driver's transfers reach the wire
            EXPECT_TRUE(model->arrived(port) == block);
            // Paced by the card's figures, the block takes its time on the wire and little more.
            const auto onTheWire = std::chrono::seconds(1) * block.size() / card.bytesPerSecond;
            EXPECT_LE(model->elapsed(), onTheWire + std::chrono::seconds(2));
        }
    }
}

TEST(AlsaFlow, ACardThatShowsNoFiguresIsSentAtTheWireRate) {
    for (const auto& block : {carriedImage(), seededSysEx(kMiB)}) {
        SCOPED_TRACE(block.size());
        auto model = std::make_shared<AlsaKernelModel>();
        const auto port = model->addCardPort({.statusInProc = false});
        Output output(model, port);
        EXPECT_TRUE(output.send(block));
        EXPECT_EQ(model->overruns(port), 0u);
        EXPECT_TRUE(model->arrived(port) == block);
        EXPECT_LE(model->elapsed(), sysExWaitLimit(block.size()));
    }
}

TEST(AlsaFlow, ProgramsPortsTakeBigBlocksWithoutOverflowing) {
    using std::chrono::milliseconds;
    // A busy receiver, a sluggish one, and one with a queue too small for a whole piece.
    const std::vector<AlsaKernelModel::SoftwarePort> receivers{
        {.readEvery = milliseconds(1)}, {.readEvery = milliseconds(40)}, {.inputPool = 20}};
    for (const auto& receiver : receivers) {
        SCOPED_TRACE("pool " + std::to_string(receiver.inputPool) + ", read every " +
                     std::to_string(receiver.readEvery.count()) + " ns");
        auto model = std::make_shared<AlsaKernelModel>();
        const auto port = model->addSoftwarePort(receiver);
        Output output(model, port);
        const auto block = seededSysEx(kMiB);
        EXPECT_TRUE(output.send(block));
        EXPECT_EQ(model->overflows(port), 0u);
        EXPECT_TRUE(model->arrived(port) == block);
    }
}

// What the receiver holds of a block that failed: never the block's F7, so never a message that
// looks whole; what came of the block came in order.
void expectACutFragment(const std::vector<std::uint8_t>& arrived, const std::vector<std::uint8_t>& block) {
    std::vector<std::uint8_t> ours;
    for (const std::uint8_t b : arrived) {
        if (b != 0xF8) ours.push_back(b);  // another program's timing clock, which may fall anywhere
    }
    EXPECT_EQ(std::count(arrived.begin(), arrived.end(), 0xF7), 0);
    ASSERT_LT(ours.size(), block.size());
    EXPECT_TRUE(std::equal(ours.begin(), ours.end(), block.begin()));
}

TEST(AlsaFlow, AnotherProgramInsideTheBlockFailsItBeforeItsEnd) {
    const auto block = carriedImage();  // 52 pieces of 1,024 bytes, the last one 352
    struct Case {
        const char* what;
        bool card;
        std::size_t after;  // our bytes before the other program writes
    };
    // Another program writes to the amp's port in the middle of the block, or with the piece before
    // the last: into a card's buffer (its bytes go out inside ours, and ours may not fit), or into a
    // program's queue, which refuses our next piece and is emptied when the program reads it.
    const std::vector<Case> cases{{"card, mid-block", true, 20000},
                                  {"card, the piece before the last", true, 50 * 1024},
                                  {"program, mid-block", false, 20000},
                                  {"program, the piece before the last", false, 50 * 1024}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto model = std::make_shared<AlsaKernelModel>();
        const auto port = c.card ? model->addCardPort({})
                                 : model->addSoftwarePort({.readEvery = std::chrono::milliseconds(5)});
        model->interfereAfter(port, c.after, c.card ? 600 : 200);
        Output output(model, port);
        EXPECT_FALSE(output.send(block));
        model->pause(std::chrono::seconds(30));  // whatever was sent has arrived or been lost
        expectACutFragment(model->arrived(port), block);
    }
}

TEST(AlsaFlow, APortThatWentAwayFailsTheSendEvenWithTheLastBytesOnTheirWay) {
    const auto block = carriedImage();
    struct Case {
        const char* what;
        std::function<std::string(AlsaKernelModel&)> add;
        std::size_t goneAfter;
        bool figuresVanish;  // the card's /proc files go with it: the send ends at once
    };
    // Unplugged mid-block, or while the last bytes still wait in the card's buffer (its driver then
    // discards them and counts them as taken); a card that shows no figures; a program that exits
    // before it has read its queue.
    const auto fastCard = [](AlsaKernelModel& m) { return m.addCardPort({.bytesPerSecond = 1'000'000}); };
    const std::vector<Case> cases{
        {"card, mid-block", fastCard, 20000, true},
        {"card, last drain", fastCard, block.size(), true},
        {"card without figures, last drain", [](auto& m) { return m.addCardPort({.statusInProc = false}); },
         block.size(), false},
        {"program, mid-block", [](auto& m) { return m.addSoftwarePort({}); }, 20000, false},
        {"program, last drain",
         [](auto& m) { return m.addSoftwarePort({.readEvery = std::chrono::seconds(1)}); }, block.size(),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto model = std::make_shared<AlsaKernelModel>();
        const auto port = c.add(*model);
        auto connection = connect(model, port);
        ASSERT_TRUE(connection);
        model->vanishAfter(port, c.goneAfter);
        EXPECT_FALSE(connection->sendSysEx(block, deadlineFor(model, block.size())));
        // Not once an estimate of the wire has run dry: that would be 16 s for this block.
        if (c.figuresVanish) {
            EXPECT_LT(model->elapsed(), std::chrono::seconds(1));
        }
        EXPECT_FALSE(connection->sendShort(std::vector<std::uint8_t>{0xC0, 0x05}));
        model->pause(std::chrono::seconds(30));
        EXPECT_LT(model->arrived(port).size(), block.size());
    }
}

TEST(AlsaFlow, ADestinationThatStopsTakingDataFailsTheBlockSoon) {
    const auto block = carriedImage();
    // A card whose device takes no more after 20,000 bytes, and a program that stops reading: both
    // show no progress from then on, and the block fails within the limit for no progress, not at
    // the end of the block's time on the cable (18.8 s).
    for (const bool card : {true, false}) {
        SCOPED_TRACE(card ? "card" : "program");
        auto model = std::make_shared<AlsaKernelModel>();
        const auto port = card ? model->addCardPort({}) : model->addSoftwarePort({});
        model->stopTakingAfter(port, 20000);
        Output output(model, port);
        EXPECT_FALSE(output.send(block));
        const auto stopped = std::chrono::milliseconds(card ? 20000 * 1000 / 3125 : 0);
        EXPECT_LE(model->elapsed(), stopped + kNoProgressLimit + std::chrono::milliseconds(500));
    }
}

TEST(AlsaFlow, AShortMessageBetweenBlocksKeepsItsPlaceAndOurPortIsOursAlone) {
    const auto first = seededSysEx(5000, 1);
    const auto second = seededSysEx(5000, 2);
    const std::vector<std::uint8_t> programChange{0xC0, 0x05};
    auto model = std::make_shared<AlsaKernelModel>();
    const auto card = model->addCardPort({});
    const auto program = model->addSoftwarePort({});
    for (const auto& port : {card, program}) {
        SCOPED_TRACE(port);
        auto connection = connect(model, port);
        ASSERT_TRUE(connection);
        EXPECT_TRUE(connection->sendSysEx(first, deadlineFor(model, first.size())));
        EXPECT_TRUE(connection->sendShort(programChange));
        EXPECT_TRUE(connection->sendSysEx(second, deadlineFor(model, second.size())));
        // The card's wire and the program's queue carry the rest once given the time.
        model->pause(std::chrono::seconds(1));
        std::vector<std::uint8_t> expected = first;
        expected.insert(expected.end(), programChange.begin(), programChange.end());
        expected.insert(expected.end(), second.begin(), second.end());
        EXPECT_TRUE(model->arrived(port) == expected);
    }
    EXPECT_FALSE(model->othersCouldListenToOurPorts());
}

// The double must lose what the kernel loses, or the tests above could not fail: sent the way the
// ALSA output used to send (pieces back to back to our port's subscribers, a refused piece retried
// alone), every send reports success and the block does not arrive.
TEST(AlsaKernelModel, LosesWhatTheKernelLosesWhenBlocksAreNotPaced) {
    const auto block = carriedImage();
    auto unpaced = [](AlsaCalls& calls, int port, const std::vector<std::uint8_t>& bytes) {
        for (const auto piece : sysExPieces(bytes, 1024)) {
            snd_seq_event_t event;
            snd_seq_ev_clear(&event);
            snd_seq_ev_set_source(&event, port);
            snd_seq_ev_set_subs(&event);
            snd_seq_ev_set_direct(&event);
            snd_seq_ev_set_sysex(&event, piece.size(), const_cast<std::uint8_t*>(piece.data()));
            int result;
            while ((result = calls.outputDirect(event)) == -EAGAIN) calls.pause(std::chrono::milliseconds(1));
            if (result < 0) return false;
        }
        return true;
    };
    auto model = std::make_shared<AlsaKernelModel>();
    const auto card = model->addCardPort({});
    const auto program = model->addSoftwarePort({});
    const auto gone = model->addCardPort({.card = 2});
    const std::vector<std::pair<std::string, snd_seq_addr_t>> ports{
        {card, {20, 0}}, {program, {128, 0}}, {gone, {24, 0}}};
    model->vanishAfter(gone, 20000);
    for (const auto& [port, address] : ports) {
        SCOPED_TRACE(port);
        auto calls = model->calls();
        ASSERT_EQ(calls->open("old", SND_SEQ_OPEN_OUTPUT), 0);
        const int ours = calls->createPort("sysex", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ, 0);
        ASSERT_EQ(calls->connectTo(ours, address), 0);
        EXPECT_TRUE(unpaced(*calls, ours, block));
        model->pause(std::chrono::seconds(30));
        EXPECT_LT(model->arrived(port).size(), block.size());
    }
    EXPECT_GT(model->overruns(card), 0u);
    EXPECT_LE(model->arrived(card).size(), 4096u + 1024u);  // the buffer, and what drained meanwhile
    EXPECT_GT(model->overflows(program), 0u);
}

TEST(RawMidiStatus, ReadsTheOwnSubstreamAndNoRoomWhileClosed) {
    const std::string text =
        "USB MIDI 2x2\n\n"
        "Output 0\n  Tx bytes     : 100\n"
        "Output 1\n  Tx bytes     : 52576\n  Owner PID    : 4242\n  Mode         : native\n"
        "  Buffer size  : 4096\n  Avail        : 1000\n"
        "Input 0\n  Rx bytes     : 7\n  Owner PID    : 4242\n  Buffer size  : 4096\n  Avail        : 0\n";
    const auto closed = parseRawMidiOutput(text, 0);
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->txBytes, 100u);
    EXPECT_FALSE(closed->avail);
    const auto open = parseRawMidiOutput(text, 1);
    ASSERT_TRUE(open);
    EXPECT_EQ(open->txBytes, 52576u);
    EXPECT_EQ(open->bufferSize, 4096u);
    EXPECT_EQ(open->avail, 1000u);
    EXPECT_FALSE(parseRawMidiOutput(text, 2));

    // Port 33 of card 2's client is subdevice 1 of its rawmidi device 1.
    const auto output = RawMidiOutput::ofPort(2, 33);
    EXPECT_EQ(output.statusPath, "/proc/asound/card2/midi1");
    EXPECT_EQ(output.substream, 1);
}

}  // namespace
}  // namespace kaldo::midi
