#pragma once
// The command line of kaldo-amp-sim: the amp's revision, its fault plan, its ports (virtual ones by name,
// or a raw MIDI device), and what it records.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AmpModel.h"
#include "Version.h"

namespace CLI {
class App;
}

namespace kaldo::sim {

struct SimOptions {
    PackedVersion revision = 0x00020803;  // 02.83
    FaultPlan plan;
    std::string name = "KALDO Amp Sim";
    // On a raw MIDI device instead of virtual ports, as the amp's firmware is (kaldo-amp-sim --rawmidi),
    // optionally the end of a USB gadget that it unplugs when it vanishes or restarts.
    std::string rawMidi;
    std::string usbGadget;
    std::string writeImage;
    bool transcript = false;
};

// "02.83" as the amp shows it, or "2.83" as the wizard writes it; nothing for anything else.
std::optional<PackedVersion> parseRevision(std::string_view text);

// A System Exclusive maker ID in hex: one byte ("43", never 00) or three beginning with 00 ("00206B");
// empty for anything else.
std::vector<std::uint8_t> parseMaker(std::string_view text);

// Declares the options on app; options is filled in when app parses, which throws on a bad value.
void describeOptions(CLI::App& app, SimOptions& options);

}  // namespace kaldo::sim
