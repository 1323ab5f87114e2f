#pragma once
// The three rings of the front panel and what the upload shows on them: init_leds, the sweeps and
// the progress patterns. Runs on the window thread; its pauses go through the Clock, so the window
// stays live through every one of them.
#include <array>
#include <cstdint>
#include <span>

#include "PanelShows.h"
#include "RingLed.h"

namespace kaldo {

class Clock;

class RingShows : public PanelShows {
public:
    explicit RingShows(Clock& clock) : clock_(clock) {}

    // Collects the rings from the window's direct children (in child order), colours ring 2 green,
    // makes every lamp bright and switches all off. Once, when the window is built.
    void init_leds(std::span<PanelControl* const> children);

    RingLed& ring(int r) { return rings_[static_cast<std::size_t>(r)]; }

    void lightOnly(int ring, int index) override;
    void allOff(int ring) override;
    void resetProgress() override;

    void showOdometer(int tickCount) override;
    void spinStep(int frameLength) override;
    void spinRevolution(int frameLength) override;
    void showPacketCount(int packet) override;
    void flashVfyShow(int n) override;
    void flashPrgShow(int n) override;
    void flashIntermediateShow(int n) override;

    // One twelfth of a frame's time on a MIDI line at 0.32 ms a byte, in whole milliseconds.
    static int stepPauseMs(int frameLength);

private:
    // lightOnly on ring r unless it already shows index.
    void showIndex(int r, int index);
    int count(int r) const { return rings_[static_cast<std::size_t>(r)].count(); }

    Clock& clock_;
    std::array<RingLed, 3> rings_;
    int s_ = 0;  // ring 0 spinner
    int q_ = 0;  // ring 1 index
    std::array<int, 3> lastShown_{};
};

}  // namespace kaldo
