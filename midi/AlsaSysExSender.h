#pragma once
// System Exclusive over the ALSA sequencer, for blocks RtMidi's ALSA output cannot carry: the
// sequencer refuses single events over about 16 KB, and RtMidi's encoder loses a piece that does not
// end in F7. A sequencer client of our own sends the block to the same destination port as pieces,
// each one SysEx event, and waits until the sequencer has passed every one on to the device.
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct _snd_seq;

namespace kaldo::midi {

class AlsaSysExSender {
public:
    // destination is RtMidi's name of an ALSA output port, which ends in "client:port". Null when it
    // cannot be reached.
    static std::unique_ptr<AlsaSysExSender> open(const std::string& clientName, const std::string& destination);
    ~AlsaSysExSender();
    AlsaSysExSender(const AlsaSysExSender&) = delete;
    AlsaSysExSender& operator=(const AlsaSysExSender&) = delete;

    // True once every byte has left our client; false when the sequencer refused a piece or the
    // deadline passed first.
    bool send(std::span<const std::uint8_t> block, std::chrono::steady_clock::time_point deadline);

private:
    AlsaSysExSender(_snd_seq* seq, int port) : seq_(seq), port_(port) {}
    bool drained() const;

    _snd_seq* seq_;
    int port_;
};

}  // namespace kaldo::midi
