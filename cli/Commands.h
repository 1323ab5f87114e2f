#pragma once
// Each subcommand of kaldo-flash registers itself on the app; its callback sets the exit status.
#include <CLI/CLI.hpp>

#include <functional>
#include <memory>

#include "MidiDevices.h"

namespace kaldo::cli {

// Exit statuses shared by the subcommands.
enum Exit : int {
    kExitOk = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    kExitTerminated = 3,
    kExitDeclined = 4,
};

// The MIDI system a command runs on: the machine's own, or a stand-in in tests.
using MidiSystem = std::function<std::shared_ptr<midi::MidiBackend>()>;

void addInfoCommand(CLI::App& app, int& exitStatus);
void addListCommand(CLI::App& app, int& exitStatus);
void addDetectCommand(CLI::App& app, int& exitStatus, MidiSystem midi = flashMidi);
void addIdentifyCommand(CLI::App& app, int& exitStatus);
void addSendCommand(CLI::App& app, int& exitStatus);
void addUploadCommand(CLI::App& app, int& exitStatus, MidiSystem midi = flashMidi);

}  // namespace kaldo::cli
