#pragma once
// The state of a sound card's MIDI output as the kernel shows it in /proc/asound/cardC/midiD: per
// output substream the bytes handed to the hardware so far ("Tx bytes") and, while the substream is
// open, the size of its buffer and the room left in it ("Buffer size", "Avail"). The sequencer port
// of a card is the rawmidi device's subdevice: port = device * 32 + subdevice.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kaldo::midi {

struct RawMidiOutput {
    std::string statusPath;  // the /proc file of the card's rawmidi device
    int substream = 0;

    // The rawmidi output behind port `port` of card `card`'s sequencer client.
    static RawMidiOutput ofPort(int card, int port);
};

struct RawMidiOutputStatus {
    std::uint64_t txBytes = 0;
    std::optional<std::size_t> bufferSize;  // only while the substream is open
    std::optional<std::size_t> avail;
};

// The status of output `substream` in the text of a status file; nothing when it is not there.
std::optional<RawMidiOutputStatus> parseRawMidiOutput(std::string_view text, int substream);

}  // namespace kaldo::midi
