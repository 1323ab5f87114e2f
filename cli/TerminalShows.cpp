#include "TerminalShows.h"

#include "Clock.h"
#include "RingShows.h"

namespace kaldo::cli {

namespace {
// The front panel's rings have twelve lamps each; a show's duration counts its steps over them.
constexpr int kRingLamps = 12;
constexpr int kVerifyStepMs = 65;
constexpr int kProgramStepMs = 12;
constexpr int kProgramRevolutions = 15;
}  // namespace

void TerminalShows::lightOnly(int, int) {}

void TerminalShows::allOff(int) {}

void TerminalShows::resetProgress() {}

void TerminalShows::showOdometer(int) { clock_.pump(); }

// A reply ends the step, so the next packet follows the amp's answer at once.
void TerminalShows::spinStep(int frameLength) { clock_.waitForNotify(RingShows::stepPauseMs(frameLength)); }

// The blind upload's pace between packets: one revolution of half-frame steps.
void TerminalShows::spinRevolution(int frameLength) {
    clock_.pause(kRingLamps * RingShows::stepPauseMs(frameLength / 2));
}

void TerminalShows::showPacketCount(int) {}

void TerminalShows::flashVfyShow(int n) { sweep(n * kRingLamps * kVerifyStepMs); }

void TerminalShows::flashPrgShow(int) { sweep(kProgramRevolutions * kRingLamps * kProgramStepMs); }

void TerminalShows::flashIntermediateShow(int n) { sweep(n * 3 * kRingLamps * kVerifyStepMs); }

void TerminalShows::sweep(int ms) {
    if (repliesEndSweeps_) {
        clock_.waitForNotify(ms);
    } else {
        clock_.pause(ms);
    }
}

}  // namespace kaldo::cli
