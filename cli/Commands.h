#pragma once
// Each subcommand of kaldo-flash registers itself on the app; its callback sets the exit status.
#include <CLI/CLI.hpp>

#include "ExitStatus.h"
#include "MidiDevices.h"

namespace kaldo::cli {

void addInfoCommand(CLI::App& app, int& exitStatus);
void addListCommand(CLI::App& app, int& exitStatus);
void addDetectCommand(CLI::App& app, int& exitStatus, MidiSystem midi = flashMidi);
void addIdentifyCommand(CLI::App& app, int& exitStatus);
void addSendCommand(CLI::App& app, int& exitStatus);
void addUploadCommand(CLI::App& app, int& exitStatus, MidiSystem midi = flashMidi);

}  // namespace kaldo::cli
