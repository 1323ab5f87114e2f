#pragma once
// Naming a device on a command line: its number as the updater numbers it (item k+1 of a submenu is
// device k), or a part of its name, any case, that no other device's name contains.
#include <optional>
#include <string>
#include <vector>

namespace kaldo::midi {

struct DeviceLookup {
    std::optional<int> device;  // none when the text names no device or more than one
    std::string problem;        // why not, for people
};

DeviceLookup lookUpDevice(const std::vector<std::string>& names, const std::string& text);

}  // namespace kaldo::midi
