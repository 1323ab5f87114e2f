#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrontPanel.h"
#include "RingShows.h"
#include "VirtualClock.h"

namespace kaldo {
namespace {

using test::FakeLamp;
using test::FrontPanel;

class RingShowsTest : public ::testing::Test {
protected:
    RingShowsTest() {
        shows.init_leds(panel.children);
        panel.changes.clear();
    }

    std::vector<std::string> names(int r) {
        std::vector<std::string> out;
        for (int i = 0; i < shows.ring(r).count(); ++i) out.push_back(asFake(shows.ring(r).lamp(i))->name);
        return out;
    }

    static const FakeLamp* asFake(const Lamp* lamp) { return static_cast<const FakeLamp*>(lamp); }

    int positionOf(const FakeLamp* lamp, int* ring = nullptr) {
        for (int r = 0; r < 3; ++r) {
            for (int i = 0; i < shows.ring(r).count(); ++i) {
                if (shows.ring(r).lamp(i) == lamp) {
                    if (ring) *ring = r;
                    return i;
                }
            }
        }
        return -1;
    }

    // Positions switched on in ring r, in the order they lit.
    std::vector<int> litSequence(int r) {
        std::vector<int> out;
        for (const auto& change : panel.changes) {
            int ring = -1;
            const int position = positionOf(change.lamp, &ring);
            if (change.on && ring == r) out.push_back(position);
        }
        return out;
    }

    std::vector<int> litNow(int r) {
        std::vector<int> out;
        for (int i = 0; i < shows.ring(r).count(); ++i) {
            if (asFake(shows.ring(r).lamp(i))->isOn()) out.push_back(i);
        }
        return out;
    }

    FrontPanel panel;
    VirtualClock clock;
    RingShows shows{clock};
};

TEST_F(RingShowsTest, CollectGivesTheRingOrderOfThePanel) {
    EXPECT_EQ(names(0), (std::vector<std::string>{"sLED1", "LEDImage1", "LEDImage3", "LEDImage4", "LEDImage5",
                                                  "LEDImage6", "LEDImage12", "LEDImage11", "LEDImage10", "LEDImage9",
                                                  "LEDImage8", "LEDImage7"}));
    EXPECT_EQ(names(1), (std::vector<std::string>{"LEDImage2", "LEDImage13", "LEDImage14", "LEDImage15",
                                                  "LEDImage16", "LEDImage17", "LEDImage23", "LEDImage22",
                                                  "LEDImage21", "LEDImage20", "LEDImage19", "LEDImage18"}));
    EXPECT_EQ(names(2), (std::vector<std::string>{"LEDImage24", "LEDImage25", "LEDImage26", "LEDImage27",
                                                  "LEDImage28", "LEDImage29", "LEDImage35", "LEDImage34",
                                                  "LEDImage33", "LEDImage32", "LEDImage31", "LEDImage30"}));
    EXPECT_EQ((shows.ring(0).largestLeft + shows.ring(0).smallestLeft) / 2, 140);
    EXPECT_EQ((shows.ring(1).largestLeft + shows.ring(1).smallestLeft) / 2, 346);
    EXPECT_EQ((shows.ring(2).largestLeft + shows.ring(2).smallestLeft) / 2, 554);
}

TEST_F(RingShowsTest, CollectMarksTheRightHalfAndKeepsThePictureOut) {
    for (int r = 0; r < 3; ++r) {
        for (int i = 0; i < 12; ++i) {
            const std::int32_t expected = i < 6 ? r : (r | RingLed::kRightHalf);
            EXPECT_EQ(shows.ring(r).lamp(i)->tag(), expected) << "ring " << r << " position " << i;
        }
    }
    EXPECT_EQ(panel.picture->tag(), 1);
    // Collecting again finds only the lamps still carrying the plain ring number.
    RingLed again;
    again.collect(panel.children, 1);
    EXPECT_EQ(again.count(), 6);
}

TEST(RingLedTest, ALampOnTheMidpointBelongsToTheLeftHalf) {
    test::FakeLamp a("a", 100, 10, 0, nullptr), b("b", 110, 20, 0, nullptr), c("c", 120, 10, 0, nullptr);
    std::vector<PanelControl*> children{&c, &b, &a};
    RingLed ring;
    ring.collect(children, 0);
    ASSERT_EQ(ring.count(), 3);
    EXPECT_EQ(b.tag(), 0);
    EXPECT_EQ(c.tag(), RingLed::kRightHalf);
    // Left half bottom to top, then right half.
    EXPECT_EQ(ring.lamp(0), &b);
    EXPECT_EQ(ring.lamp(1), &a);
    EXPECT_EQ(ring.lamp(2), &c);
}

TEST_F(RingShowsTest, InitLedsLeavesEveryLampOffColouredAndBright) {
    for (const auto& lamp : panel.lamps) {
        EXPECT_FALSE(lamp->isOn()) << lamp->name;
        EXPECT_TRUE(lamp->bright) << lamp->name;
        int ring = -1;
        positionOf(lamp.get(), &ring);
        EXPECT_EQ(lamp->onColor, ring == 2 ? kLampGreen : kLampRed) << lamp->name;
    }
    for (int r = 0; r < 3; ++r) EXPECT_EQ(shows.ring(r).next(), shows.ring(r).lamp(0));
}

TEST_F(RingShowsTest, LightOnlyChangesJustTheTwoLampsConcerned) {
    shows.lightOnly(1, 3);
    panel.changes.clear();
    shows.lightOnly(1, 7);
    ASSERT_EQ(panel.changes.size(), 2u);
    EXPECT_EQ(positionOf(panel.changes[0].lamp), 3);
    EXPECT_FALSE(panel.changes[0].on);
    EXPECT_EQ(positionOf(panel.changes[1].lamp), 7);
    EXPECT_EQ(litNow(0), std::vector<int>{});
}

TEST_F(RingShowsTest, OdometerShowsTheTickCountOnThreeRings) {
    struct Case {
        int c, r0, r1, r2;
    };
    for (const Case& k : {Case{0, 1, 0, 0}, Case{999, 4, 4, 10}, Case{1000, 5, 4, 10}}) {
        for (int r = 0; r < 3; ++r) shows.lightOnly(r, 0);
        shows.resetProgress();
        shows.showOdometer(k.c);
        EXPECT_EQ(litNow(0), std::vector<int>{k.r0}) << k.c;
        EXPECT_EQ(litNow(1), std::vector<int>{k.r1}) << k.c;
        EXPECT_EQ(litNow(2), std::vector<int>{k.r2}) << k.c;
    }
    // A ring is redrawn only when its index changes.
    panel.changes.clear();
    shows.showOdometer(1000);
    EXPECT_TRUE(panel.changes.empty());
}

TEST_F(RingShowsTest, PacketCountMovesRingTwoEverySixPackets) {
    shows.lightOnly(2, 0);
    shows.resetProgress();
    std::vector<int> shown;
    for (int p = 0; p <= 72; ++p) {
        shows.showPacketCount(p);
        shown.push_back(litNow(2).at(0));
    }
    for (int p = 0; p <= 5; ++p) EXPECT_EQ(shown[static_cast<std::size_t>(p)], 0) << p;
    EXPECT_EQ(shown[6], 1);
    EXPECT_EQ(shown[71], 11);
    EXPECT_EQ(shown[72], 0);
}

TEST_F(RingShowsTest, SpinStepTurnsRingZeroAndCarriesIntoRingOne) {
    EXPECT_EQ(RingShows::stepPauseMs(1000), 26);
    EXPECT_EQ(RingShows::stepPauseMs(37), 0);
    shows.resetProgress();
    const auto start = clock.nowMs();
    for (int k = 0; k < 11; ++k) shows.spinStep(1000);
    EXPECT_EQ(clock.nowMs() - start, 11 * 26);
    EXPECT_EQ(litSequence(0), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    // Reaching the last lamp of ring 0 moves ring 1 on.
    EXPECT_EQ(litNow(1), std::vector<int>{1});
    shows.spinStep(37);
    EXPECT_EQ(clock.nowMs() - start, 11 * 26);
    EXPECT_EQ(litNow(0), std::vector<int>{0});
}

TEST_F(RingShowsTest, SpinStepPauseEndsWhenAReplyArrives) {
    clock.schedule(5, [this] { clock.notify(); });
    const auto start = clock.nowMs();
    shows.spinStep(1000);
    EXPECT_EQ(clock.nowMs() - start, 5);
}

TEST_F(RingShowsTest, SpinRevolutionRunsAWholeTurnThenMovesRingOne) {
    shows.resetProgress();
    auto start = clock.nowMs();
    shows.spinRevolution(1000);
    EXPECT_EQ(clock.nowMs() - start, 12 * 13);
    EXPECT_EQ(litSequence(0), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(litNow(1), std::vector<int>{1});
    start = clock.nowMs();
    shows.spinRevolution(37);
    EXPECT_EQ(clock.nowMs() - start, 0);
    EXPECT_EQ(litNow(1), std::vector<int>{2});
}

TEST_F(RingShowsTest, VerifyShowTurnsAllRingsClockwise) {
    shows.lightOnly(0, 4);
    panel.changes.clear();
    auto start = clock.nowMs();
    shows.flashVfyShow(1);
    EXPECT_EQ(clock.nowMs() - start, 12 * 65);
    const std::vector<int> clockwise{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(litSequence(r), clockwise) << r;
        EXPECT_EQ(litNow(r), std::vector<int>{11}) << r;
    }
    start = clock.nowMs();
    shows.flashVfyShow(0);
    EXPECT_EQ(clock.nowMs(), start);
    for (int r = 0; r < 3; ++r) EXPECT_TRUE(litNow(r).empty());
}

TEST_F(RingShowsTest, ProgramShowRunsFifteenTurnsWhateverItIsGiven) {
    for (int n : {0, 1, 12}) {
        panel.changes.clear();
        const auto start = clock.nowMs();
        shows.flashPrgShow(n);
        EXPECT_EQ(clock.nowMs() - start, 15 * 12 * 12) << n;
        std::vector<int> expected;
        for (int k = 0; k < 15; ++k) {
            for (int i = 11; i >= 0; --i) expected.push_back(i);
        }
        for (int r = 0; r < 3; ++r) {
            EXPECT_EQ(litSequence(r), expected) << "n " << n << " ring " << r;
            EXPECT_EQ(litNow(r), std::vector<int>{0});
        }
    }
}

TEST_F(RingShowsTest, IntermediateShowTurnsTheRingsOneAfterAnother) {
    const auto start = clock.nowMs();
    shows.flashIntermediateShow(1);
    EXPECT_EQ(clock.nowMs() - start, 36 * 65);
    // Ring 0 finishes its turn before ring 1 starts.
    const FakeLamp* firstOfRing1 = asFake(shows.ring(1).lamp(0));
    std::size_t ring0Done = 0, ring1Start = 0;
    for (std::size_t k = 0; k < panel.changes.size(); ++k) {
        if (panel.changes[k].lamp == shows.ring(0).lamp(11) && panel.changes[k].on) ring0Done = k;
        if (panel.changes[k].lamp == firstOfRing1 && panel.changes[k].on && ring1Start == 0) ring1Start = k;
    }
    EXPECT_LT(ring0Done, ring1Start);
    for (int r = 0; r < 3; ++r) EXPECT_EQ(litNow(r), std::vector<int>{11});
}

}  // namespace
}  // namespace kaldo
