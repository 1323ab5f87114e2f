#pragma once
// The one-shot reply time-out (Timer4) of the waits for the amp. Kept as a deadline on the Clock:
// it expires when a check finds the deadline passed, exactly as if the timer had fired in the pump
// just before.
#include <cstdint>

namespace kaldo {

class Clock;
class MidiLink;
class UpdaterUi;

class ReplyTimeout {
public:
    ReplyTimeout(Clock& clock, UpdaterUi& ui, MidiLink& link);

    // Starts the full interval again, even when a time-out was running, and clears timedOut.
    void initTimeout(int ms);
    // Expiry of Timer4: one-shot.
    void Timer4Timer();
    // True once the time-out has expired; then reports it and releases the MIDI ports.
    bool timeoutCheck();
    // True once the time-out has expired, without reporting it: the upload first shows its end.
    bool expired();

private:
    Clock& clock_;
    UpdaterUi& ui_;
    MidiLink& link_;
    bool armed_ = false;
    std::int64_t deadline_ = 0;
    bool timedOut_ = false;
};

}  // namespace kaldo
