// Finding the amps on a line with other gear, on the in-memory MIDI system and virtual time.
#include <gtest/gtest.h>

#include <algorithm>

#include "BackendDetectionLine.h"
#include "FakeMidi.h"
#include "Messages.h"
#include "VirtualClock.h"

namespace kaldo::midi {
namespace {

using testing::FakeMidi;

// Another maker's Identity Reply (maker 00 20 6B), and a one-byte maker's (43).
const std::vector<std::uint8_t> kSynthReply{0xF0, 0x7E, 0x00, 0x06, 0x02, 0x00, 0x20, 0x6B, 0x01,
                                            0x00, 0x01, 0x00, 0x30, 0x39, 0x39, 0x39, 0xF7};
const std::vector<std::uint8_t> kPedalReply{0xF0, 0x7E, 0x00, 0x06, 0x02, 0x43, 0x01, 0x00,
                                            0x02, 0x00, 0x01, 0x00, 0x01, 0x00, 0xF7};

struct Line {
    std::shared_ptr<FakeMidi> midi = std::make_shared<FakeMidi>();
    VirtualClock clock;
    int ampDelayMs = 0;  // how long the amps take to answer

    // outputs and inputs in the order the system lists them; answers maps an output to the input
    // where a device answers and what it says.
    Line() {
        midi->outputs = {"Midi Through", "Synth Out", "Amp B In", "Amp A In", "Empty Out"};
        midi->inputs = {"Midi Through", "Amp A Out", "Synth In", "Amp B Out", "Pedal In"};
        midi->answer = [this](const std::string& device, std::vector<std::uint8_t> block) {
            if (block != std::vector<std::uint8_t>(kIdentityRequest.begin(), kIdentityRequest.end())) return;
            // The kernel's loop-back port hands back whatever it is sent: our own request.
            if (device == "Midi Through") midi->inject("Midi Through", block);
            const auto ampA = makeIdentityReply(0x00020800);
            const auto ampB = makeIdentityReply(0x00010002);
            const auto ampAnswers = [this](const char* in, const auto& reply) {
                clock.schedule(ampDelayMs, [this, in, reply] { midi->inject(in, {reply.begin(), reply.end()}); });
            };
            if (device == "Amp A In") ampAnswers("Amp A Out", ampA);
            if (device == "Amp B In") ampAnswers("Amp B Out", ampB);
            if (device == "Synth Out") {
                midi->inject("Synth In", kSynthReply);
                // A pedal chained behind the synth answers too, a little later.
                clock.schedule(100, [this] { midi->inject("Pedal In", kPedalReply); });
            }
        };
    }
};

TEST(Detection, FindsExactlyTheAmpsPairedRightAndListsTheOtherGearApart) {
    Line line;
    BackendDetectionLine system(line.midi);
    const std::int64_t start = line.clock.nowMs();
    const Detection found = detectAmps(system, line.clock);
    ASSERT_EQ(found.amps.size(), 2u);
    EXPECT_EQ(found.amps[0].out.name, "Amp B In");
    EXPECT_EQ(found.amps[0].out.number, 2);
    EXPECT_EQ(found.amps[0].in.name, "Amp B Out");
    EXPECT_EQ(found.amps[0].in.number, 3);
    EXPECT_EQ(found.amps[0].versionText, "01.02");
    EXPECT_EQ(found.amps[1].out.name, "Amp A In");
    EXPECT_EQ(found.amps[1].in.name, "Amp A Out");
    EXPECT_EQ(found.amps[1].in.number, 1);
    EXPECT_EQ(found.amps[1].version, 0x00020800u);
    ASSERT_EQ(found.others.size(), 2u);
    EXPECT_EQ(found.others[0].out.name, "Synth Out");
    EXPECT_EQ(found.others[0].in.name, "Synth In");
    EXPECT_EQ(found.others[0].manufacturer, "00 20 6B");
    EXPECT_EQ(found.others[1].in.name, "Pedal In");
    EXPECT_EQ(found.others[1].manufacturer, "43");
    // Half a second for an output where nothing answers; where something did, the others have a
    // while longer from the last answer, and it is asked once more, until the same devices have
    // answered again (the pedal 100 ms after the synth); the line has half a second more at the end
    // for a late answer. Nothing but Identity Requests, every port closed again.
    EXPECT_EQ(line.clock.nowMs() - start, 3 * kDetectionAnswerMs + 2 * 100 + 3 * kDetectionSettleMs);
    const auto sent = line.midi->sent();
    ASSERT_EQ(sent.size(), 8u);
    for (const auto& s : sent) {
        EXPECT_EQ(s.bytes, std::vector<std::uint8_t>(kIdentityRequest.begin(), kIdentityRequest.end()));
    }
    EXPECT_TRUE(line.midi->openOutputs().empty());
    EXPECT_TRUE(line.midi->openInputs().empty());
}

// An amp that answers after its output's window is over has its answer heard while the next output
// is asked. It must never make that output its amp: the line is asked again with longer windows, as
// few times as it takes, and an amp slower than the longest window is not found at all.
TEST(Detection, AnAnswerLaterThanTheWindowIsNeverTakenForTheNextOutputs) {
    const struct {
        int ampDelayMs;
        bool found;
        std::size_t passes;
    } cases[] = {{kDetectionAnswerMs + 200, true, 2},
                 {3 * kDetectionAnswerMs, true, 3},
                 {2 * kDetectionLongestAnswerMs, false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE("amps answer after " + std::to_string(c.ampDelayMs) + " ms");
        Line line;
        line.ampDelayMs = c.ampDelayMs;
        BackendDetectionLine system(line.midi);
        const Detection found = detectAmps(system, line.clock);
        std::vector<std::pair<std::string, std::string>> pairs;
        for (const FoundAmp& amp : found.amps) pairs.emplace_back(amp.out.name, amp.in.name);
        if (c.found) {
            EXPECT_EQ(pairs, (decltype(pairs){{"Amp B In", "Amp B Out"}, {"Amp A In", "Amp A Out"}}));
        } else {
            EXPECT_TRUE(pairs.empty());
        }
        ASSERT_EQ(found.others.size(), 2u);
        EXPECT_EQ(found.others[0].in.name, "Synth In");
        EXPECT_EQ(found.others[1].in.name, "Pedal In");
        // Each pass starts at the first output, which nothing answers.
        const auto sent = line.midi->sent();
        EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const auto& s) { return s.device == "Midi Through"; }),
                  static_cast<std::ptrdiff_t>(c.passes));
    }
}

// The one amp on the line, answering late: its answer comes when nothing is asked any more.
TEST(Detection, ALateAnswerToTheLastOutputAskedIsWaitedFor) {
    Line line;
    line.midi->outputs = {"Amp A In"};
    line.midi->inputs = {"Amp A Out"};
    line.ampDelayMs = kDetectionAnswerMs + 200;
    BackendDetectionLine system(line.midi);
    const Detection found = detectAmps(system, line.clock);
    ASSERT_EQ(found.amps.size(), 1u);
    EXPECT_EQ(found.amps[0].in.name, "Amp A Out");
}

TEST(Detection, NothingAnswersOnAnEmptyLine) {
    Line line;
    line.midi->answer = nullptr;
    BackendDetectionLine system(line.midi);
    const Detection found = detectAmps(system, line.clock, 100);
    EXPECT_TRUE(found.amps.empty());
    EXPECT_TRUE(found.others.empty());
}

}  // namespace
}  // namespace kaldo::midi
