// Big blocks toward the ALSA sequencer, against a model of the kernel: they arrive whole at a card's
// port of any speed and at another program's port, and every way the kernel loses data (an overrun,
// a refusal, a port that went away) is a failed send, never a success.
#include <gtest/gtest.h>

#include <cerrno>

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

std::vector<std::uint8_t> sysExBlock(std::size_t length, std::uint8_t seed = 0) {
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
    const std::vector<AlsaKernelModel::CardPort> cards{
        {.bytesPerSecond = 3125}, {.bytesPerSecond = 1'000'000}, {.bytesPerSecond = 3125, .bufferSize = 512}};
    for (const auto& card : cards) {
        for (const auto& block : {carriedImage(), sysExBlock(kMiB)}) {
            SCOPED_TRACE(std::to_string(block.size()) + " bytes at " + std::to_string(card.bytesPerSecond) +
                         " B/s through a buffer of " + std::to_string(card.bufferSize));
            auto model = std::make_shared<AlsaKernelModel>();
            const auto port = model->addCardPort(card);
            Output output(model, port);
            ASSERT_EQ(output.out.openResult(), kResultOk);
            EXPECT_TRUE(output.send(block));
            EXPECT_EQ(model->overruns(port), 0u);
            EXPECT_TRUE(model->arrived(port) == block);
            // SysEx's time limit holds for a block paced at the wire's rate.
            EXPECT_LE(model->elapsed(), sysExWaitLimit(block.size()));
        }
    }
}

TEST(AlsaFlow, ACardThatShowsNoFiguresIsSentAtTheWireRate) {
    for (const auto& block : {carriedImage(), sysExBlock(kMiB)}) {
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
        const auto block = sysExBlock(kMiB);
        EXPECT_TRUE(output.send(block));
        EXPECT_EQ(model->overflows(port), 0u);
        EXPECT_TRUE(model->arrived(port) == block);
    }
}

TEST(AlsaFlow, AnOverrunOrARefusalFailsTheBlock) {
    const auto block = carriedImage();
    {
        // Another program writes to the amp's port in the middle of the block: what does not fit
        // is dropped, and its bytes would have gone out inside ours anyway.
        auto model = std::make_shared<AlsaKernelModel>();
        const auto port = model->addCardPort({});
        model->interfereAfter(port, 20000, 600);
        Output output(model, port);
        EXPECT_FALSE(output.send(block));
        EXPECT_GT(model->overruns(port), 0u);
    }
    {
        // Another program fills the receiver's queue with clock: our next piece is refused, the
        // receiver empties its queue, and a lone F7 ends the fragment it had read so far.
        auto model = std::make_shared<AlsaKernelModel>();
        const auto port = model->addSoftwarePort({.readEvery = std::chrono::milliseconds(5)});
        model->interfereAfter(port, 20000, 200);
        Output output(model, port);
        EXPECT_FALSE(output.send(block));
        model->pause(std::chrono::seconds(1));
        EXPECT_EQ(model->overflows(port), 1u);
        const auto arrived = model->arrived(port);
        ASSERT_FALSE(arrived.empty());
        EXPECT_EQ(arrived.back(), 0xF7);
        EXPECT_LT(arrived.size(), block.size());
    }
}

TEST(AlsaFlow, APortThatWentAwayFailsTheSend) {
    const auto block = carriedImage();
    auto model = std::make_shared<AlsaKernelModel>();
    const auto card = model->addCardPort({.bytesPerSecond = 1'000'000});
    const auto program = model->addSoftwarePort({});
    for (const auto& port : {card, program}) {
        SCOPED_TRACE(port);
        auto connection = connect(model, port);
        ASSERT_TRUE(connection);
        model->vanishAfter(port, 20000);
        EXPECT_FALSE(connection->sendSysEx(block, deadlineFor(model, block.size())));
        EXPECT_FALSE(connection->sendShort(std::vector<std::uint8_t>{0xC0, 0x05}));
        EXPECT_LT(model->arrived(port).size(), block.size());
    }
}

TEST(AlsaFlow, AShortMessageBetweenBlocksKeepsItsPlaceAndOurPortIsOursAlone) {
    const auto first = sysExBlock(5000, 1);
    const auto second = sysExBlock(5000, 2);
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
        ASSERT_EQ(calls->open("old"), 0);
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
