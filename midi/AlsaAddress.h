#pragma once
// The sequencer address of a port named as RtMidi names ALSA's ports: "client name:port name
// client:port", whose last word is the address.
#include <alsa/asoundlib.h>

#include <optional>
#include <string_view>

namespace kaldo::midi {

// Nothing when the name does not end in "client:port".
std::optional<snd_seq_addr_t> alsaAddressOf(std::string_view name);

}  // namespace kaldo::midi
