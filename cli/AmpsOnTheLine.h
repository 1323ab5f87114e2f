#pragma once
// kaldo-flash's side of detection (AmpDetection.h): the amps on the machine's MIDI, shown as `detect`
// shows them, and the one amp that `upload` and `identify` take when no ports are named.
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "AmpDetection.h"
#include "Json.h"
#include "MidiBackend.h"

namespace kaldo::cli {

// Asks every output of this MIDI system, answerMs each.
Detection detectAmps(std::shared_ptr<midi::MidiBackend> backend, int answerMs = kDetectionAnswerMs);

// "OUT -> IN  version 02.80" a line, then the other makers' devices.
void printDetection(std::ostream& to, const Detection& found);
// {"amps":[{"out":{"number":N,"name":S},"in":{...},"version":"02.80","packed":N}],"others":[...]}
JsonObject detectionJson(const Detection& found);

// The only amp on the line, for a command given no ports; otherwise why not, and the exit status:
// 1 when none answered (with what to check), 2 when several did (with how to name one).
struct OnlyAmp {
    std::optional<FoundAmp> amp;
    int exitStatus = 0;
    std::string problem;
};
OnlyAmp theOnlyAmp(const Detection& found);

}  // namespace kaldo::cli
