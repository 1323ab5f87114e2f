// kaldo-flash detect: which MIDI ports lead to an amp. The Identity Request goes to one output at a
// time while every input listens; answers from other makers' devices are listed apart.
#include <iostream>

#include "AmpsOnTheLine.h"
#include "Commands.h"

namespace kaldo::cli {

namespace {

struct DetectOptions {
    int answerMs = kDetectionAnswerMs;
    bool json = false;
};

}  // namespace

void addDetectCommand(CLI::App& app, int& exitStatus, MidiSystem midi) {
    auto* detect = app.add_subcommand(
        "detect",
        "Find the amps: which output and input lead to each (exit 0 when one answered, 1 when none)");
    auto options = std::make_shared<DetectOptions>();
    detect->add_option("--timeout", options->answerMs, "How long each output is given for its answers, in ms")
        ->check(CLI::Range(1, 60000))
        ->capture_default_str();
    detect->add_flag("--json", options->json, "Print one JSON object");
    detect->callback([options, midi, &exitStatus] {
        const Detection found = detectAmps(midi(), options->answerMs);
        if (options->json) {
            std::cout << detectionJson(found).str() << "\n";
        } else {
            printDetection(std::cout, found);
        }
        exitStatus = found.amps.empty() ? kExitFailed : kExitOk;
    });
}

}  // namespace kaldo::cli
