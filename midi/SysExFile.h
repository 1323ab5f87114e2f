#pragma once
// The System Exclusive messages of a ".syx" file, in order, as a plain SysEx sender sends them. Any
// ".syx" file, not only firmware: nothing is checked beyond the framing. A file with bytes outside
// messages, a status byte inside one or a message without its F7 is refused rather than sent: the
// device at the other end would take the stray bytes for commands.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kaldo::midi {

struct SysExFile {
    std::vector<std::span<const std::uint8_t>> messages;  // views into the file's bytes
    std::string problem;                                  // empty when the file is fit to send
};

SysExFile sysExMessages(std::span<const std::uint8_t> bytes);

}  // namespace kaldo::midi
