#pragma once
// Which MIDI device a --out or --in argument means: its number in the list (from 0, as kaldo-flash
// list shows it), its whole name, or a part of exactly one name, case ignored. On JACK the numbers
// move as ports come and go, so scripts name the device.
#include <string>
#include <vector>

namespace kaldo::cli {

struct DeviceChoice {
    int index = -1;     // into names; -1 when none fits
    std::string error;  // why none fits, for the user
};

DeviceChoice chooseDevice(const std::vector<std::string>& names, const std::string& wanted);

}  // namespace kaldo::cli
