#pragma once
// The MIDI devices as kaldo-flash shows and takes them: numbered as the updater numbers them (at
// most twelve per direction), named on the command line by number or by a part of the name.
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "MidiBackend.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

namespace kaldo::cli {

// The machine's MIDI system, our ports named "kaldo-flash".
std::shared_ptr<midi::MidiBackend> flashMidi();
// The MIDI system a command runs on: the machine's own, or a stand-in in tests.
using MidiSystem = std::function<std::shared_ptr<midi::MidiBackend>()>;

std::vector<std::string> deviceNames(const midi::TMidiOut& out);
std::vector<std::string> deviceNames(const midi::TMidiIn& in);

// "  0  name" lines, or "  (none)".
void printDevices(std::ostream& to, const std::vector<std::string>& names);

// The device that text names; otherwise prints why and the devices of that direction ("output",
// "input") to stderr.
std::optional<int> deviceArgument(const std::vector<std::string>& names, const std::string& text, const std::string& direction);

}  // namespace kaldo::cli
