#include "RingShows.h"

#include "Clock.h"

namespace kaldo {

void RingShows::init_leds(std::span<PanelControl* const> children) {
    for (int r = 0; r < 3; ++r) rings_[static_cast<std::size_t>(r)].collect(children, r);
    for (int i = 0; i < count(2); ++i) rings_[2].lamp(i)->SetOnColor(kLampGreen);
    for (RingLed& ring : rings_) {
        for (int i = 0; i < ring.count(); ++i) ring.lamp(i)->MakeBright(true);
    }
    for (RingLed& ring : rings_) {
        ring.allOff();
        ring.rewind();
    }
}

void RingShows::lightOnly(int ring, int index) { rings_[static_cast<std::size_t>(ring)].lightOnly(index); }

void RingShows::allOff(int ring) { rings_[static_cast<std::size_t>(ring)].allOff(); }

void RingShows::resetProgress() {
    s_ = 0;
    q_ = 0;
    lastShown_ = {};
}

void RingShows::showIndex(int r, int index) {
    if (index == lastShown_[static_cast<std::size_t>(r)]) return;
    lightOnly(r, index);
    lastShown_[static_cast<std::size_t>(r)] = index;
}

int RingShows::stepPauseMs(int frameLength) {
    return static_cast<int>(static_cast<long double>(frameLength) * 0.00032L / 12.0L * 1000.0L);
}

void RingShows::showOdometer(int tickCount) {
    std::array<int, 3> index{};
    const int c = tickCount + 1;
    const int divisors[3] = {1, 10, 100};
    for (int r = 0; r < 3; ++r) {
        if (count(r) > 0) index[static_cast<std::size_t>(r)] = (c / divisors[r]) % count(r);
    }
    clock_.pump();
    for (int r = 0; r < 3; ++r) showIndex(r, index[static_cast<std::size_t>(r)]);
    clock_.pump();
}

void RingShows::spinStep(int frameLength) {
    if (count(0) > 0) {
        s_ = (s_ + 1) % count(0);
        lightOnly(0, s_);
        if (s_ == count(0) - 1 && count(1) > 0) {
            q_ = (q_ + 1) % count(1);
            lightOnly(1, q_);
            lastShown_[1] = q_;
        }
    }
    // Called while a reply is awaited: a reply ends the pause, so the next packet follows at once.
    clock_.waitForNotify(stepPauseMs(frameLength));
}

void RingShows::spinRevolution(int frameLength) {
    const int pause = stepPauseMs(frameLength / 2);
    for (int s = 0; s < count(0); ++s) {
        lightOnly(0, s);
        clock_.pump();
        clock_.pause(pause);
        clock_.pump();
    }
    if (count(1) > 0) {
        q_ = (q_ + 1) % count(1);
        showIndex(1, q_);
    }
}

void RingShows::showPacketCount(int packet) {
    if (count(2) > 0) showIndex(2, ((2 * packet + 1) / 12) % count(2));
}

// The sweeps index every ring with ring 0's count, as the three rings are alike.
void RingShows::flashVfyShow(int n) {
    for (int r = 0; r < 3; ++r) allOff(r);
    for (int k = 0; k < n; ++k) {
        for (int i = 0; i < count(0); ++i) {
            for (int r = 0; r < 3; ++r) lightOnly(r, i);
            clock_.pump();
            clock_.pause(65);
        }
    }
}

void RingShows::flashPrgShow(int /*n: not used, every call runs the full show*/) {
    for (int r = 0; r < 3; ++r) allOff(r);
    for (int k = 0; k < 15; ++k) {
        for (int i = count(0) - 1; i >= 0; --i) {
            for (int r = 2; r >= 0; --r) lightOnly(r, i);
            clock_.pump();
            clock_.pause(12);
        }
    }
}

void RingShows::flashIntermediateShow(int n) {
    for (int r = 0; r < 3; ++r) allOff(r);
    for (int k = 0; k < n; ++k) {
        for (int r = 0; r < 3; ++r) {
            for (int i = 0; i < count(0); ++i) {
                lightOnly(r, i);
                clock_.pause(65);
            }
        }
    }
}

}  // namespace kaldo
