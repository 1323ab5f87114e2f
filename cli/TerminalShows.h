#pragma once
// The front panel's shows on a terminal, which has no lamps: only their time passes, so that an
// upload from kaldo-flash keeps the desktop program's pacing. The progress itself is the terminal's
// bar (TerminalUi).
#include "PanelShows.h"

namespace kaldo {
class Clock;
}

namespace kaldo::cli {

class TerminalShows : public PanelShows {
public:
    explicit TerminalShows(Clock& clock) : clock_(clock) {}

    // In a handshake upload the sweeps only fill the waits for the amp's verify and programming
    // replies: without lamps to finish, a reply ends them at once. Elsewhere they are the fixed
    // time the amp is given to program itself and run to their end.
    void setRepliesEndSweeps(bool end) { repliesEndSweeps_ = end; }

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

private:
    void sweep(int ms);

    Clock& clock_;
    bool repliesEndSweeps_ = false;
};

}  // namespace kaldo::cli
