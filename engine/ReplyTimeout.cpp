#include "ReplyTimeout.h"

#include "Clock.h"
#include "MidiLink.h"
#include "UpdaterUi.h"

namespace kaldo {

ReplyTimeout::ReplyTimeout(Clock& clock, UpdaterUi& ui, MidiLink& link) : clock_(clock), ui_(ui), link_(link) {}

void ReplyTimeout::initTimeout(int ms) {
    armed_ = true;
    deadline_ = clock_.nowMs() + ms;
    timedOut_ = false;
}

void ReplyTimeout::Timer4Timer() {
    armed_ = false;
    timedOut_ = true;
}

bool ReplyTimeout::expired() {
    if (armed_ && clock_.nowMs() >= deadline_) Timer4Timer();
    return timedOut_;
}

bool ReplyTimeout::timeoutCheck() {
    if (expired()) {
        ui_.messageBox("Error. Device not responding. Power cycle amp and try again.", "Status", Buttons::Ok);
        link_.deSelectCurrentMidi();
    }
    return timedOut_;
}

}  // namespace kaldo
