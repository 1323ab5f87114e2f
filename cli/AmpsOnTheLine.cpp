#include "AmpsOnTheLine.h"

#include <ostream>

#include "BackendDetectionLine.h"
#include "ExitStatus.h"
#include "SteadyClock.h"

namespace kaldo::cli {

namespace {

JsonObject portJson(const DetectedPort& port) {
    return JsonObject().addInt("number", port.number).addString("name", port.name);
}

}  // namespace

Detection detectAmps(std::shared_ptr<midi::MidiBackend> backend, int answerMs) {
    midi::BackendDetectionLine line(std::move(backend));
    SteadyClock clock;
    return kaldo::detectAmps(line, clock, answerMs);
}

void printDetection(std::ostream& to, const Detection& found) {
    if (found.amps.empty()) to << "No amp answered.\n";
    for (const FoundAmp& amp : found.amps) {
        to << amp.out.name << " -> " << amp.in.name << "  version " << amp.versionText << "\n";
    }
    if (!found.others.empty()) to << "Other devices that answered (not amps):\n";
    for (const OtherDevice& other : found.others) {
        to << "  " << other.out.name << " -> " << other.in.name << "  maker " << other.manufacturer << "\n";
    }
}

JsonObject detectionJson(const Detection& found) {
    std::vector<JsonObject> amps;
    for (const FoundAmp& amp : found.amps) {
        amps.push_back(JsonObject()
                           .addObject("out", portJson(amp.out))
                           .addObject("in", portJson(amp.in))
                           .addString("version", amp.versionText)
                           .addInt("packed", amp.version));
    }
    std::vector<JsonObject> others;
    for (const OtherDevice& other : found.others) {
        others.push_back(JsonObject()
                             .addObject("out", portJson(other.out))
                             .addObject("in", portJson(other.in))
                             .addString("manufacturer", other.manufacturer));
    }
    return JsonObject().addArray("amps", amps).addArray("others", others);
}

OnlyAmp theOnlyAmp(const Detection& found) {
    if (found.amps.size() == 1) return {found.amps.front(), kExitOk, {}};
    if (found.amps.empty()) {
        return {
            std::nullopt, kExitFailed,
            "no amp answered. Check that the amp is switched on, that its MIDI or USB cable is plugged in "
            "both ways (the amp's MIDI out to the computer's in, and back), and that a USB amp is in its USB "
            "MIDI mode; then try again, or name the ports with --out and --in (kaldo-flash list)."};
    }
    std::string problem =
        std::to_string(found.amps.size()) + " amps answered; name the one to use with --out and --in:";
    for (const FoundAmp& amp : found.amps) {
        problem += "\n  --out \"" + amp.out.name + "\" --in \"" + amp.in.name + "\"  (version " +
                   amp.versionText + ")";
    }
    return {std::nullopt, kExitUsage, problem};
}

}  // namespace kaldo::cli
