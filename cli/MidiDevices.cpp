#include "MidiDevices.h"

#include <iostream>

#include "DeviceLookup.h"
#include "SystemMidi.h"

namespace kaldo::cli {

std::shared_ptr<midi::MidiBackend> flashMidi() { return midi::systemMidi("kaldo-flash"); }

std::vector<std::string> deviceNames(const midi::TMidiOut& out) {
    std::vector<std::string> names;
    for (int i = 0; i < out.NumDevs(); ++i) names.push_back(out.deviceName(i));
    return names;
}

std::vector<std::string> deviceNames(const midi::TMidiIn& in) {
    std::vector<std::string> names;
    for (int i = 0; i < in.NumDevs(); ++i) names.push_back(in.deviceName(i));
    return names;
}

void printDevices(std::ostream& to, const std::vector<std::string>& names) {
    if (names.empty()) to << "  (none)\n";
    for (std::size_t i = 0; i < names.size(); ++i) to << "  " << i << "  " << names[i] << "\n";
}

std::optional<int> deviceArgument(const std::vector<std::string>& names, const std::string& text, const std::string& direction) {
    const auto found = midi::lookUpDevice(names, text);
    if (found.device) return found.device;
    std::cerr << "kaldo-flash: " << found.problem << " among the MIDI " << direction << "s:\n";
    printDevices(std::cerr, names);
    return std::nullopt;
}

}  // namespace kaldo::cli
