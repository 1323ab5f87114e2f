#pragma once
// Everything we send on the ALSA sequencer, short messages and System Exclusive blocks alike, leaves
// through one client of our own, so it reaches the device in the order it was sent. RtMidi's ALSA
// output is not used for sending: it cannot carry large blocks (the sequencer refuses single events
// over about 16 KB, and its encoder loses a piece that does not end in F7) and it ignores a refused
// drain.
//
// The kernel reports success for data it then loses: a card's MIDI output drops what does not fit
// into its buffer, a software receiver whose queue overflows empties it, and an event sent to the
// subscribers of a port nobody is connected to any more goes nowhere. So:
// - every event is addressed to the destination itself, so that a port that went away is an error
//   (the connection stays, since it is what makes the kernel open a card's device);
// - nothing is written before the destination has room for it (SendPacing): a card's port by the
//   free bytes in its rawmidi buffer, a software port by the free cells in its client's input queue,
//   anything else at the classic MIDI rate;
// - a refused piece ends the block at once with a lone F7, so the receiver drops the fragment;
// - a block has left once the card's buffer is empty (or the receiver has read its queue), and
//   then the card must have handed its hardware exactly what was waiting in the buffer and the block.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "AlsaCalls.h"
#include "MidiBackend.h"
#include "RawMidiStatus.h"
#include "SendPacing.h"

namespace kaldo::midi {

class AlsaSequencerOutput : public MidiOutConnection {
public:
    // destination is RtMidi's name of an ALSA output port, which ends in "client:port". Nothing
    // opened, and the result, when it cannot be reached.
    static Opened<MidiOutConnection> open(std::unique_ptr<AlsaCalls> calls, const std::string& clientName,
                                          const std::string& destination);
    ~AlsaSequencerOutput() override;

    bool sendShort(std::span<const std::uint8_t> message) override;
    bool sendSysEx(std::span<const std::uint8_t> block,
                   std::chrono::steady_clock::time_point deadline) override;

private:
    enum class Kind {
        Card,      // a sound card's port: its rawmidi buffer reports the room
        Software,  // another program's port: its input queue reports the room
        Silent,    // any other port (the kernel's MIDI through): nothing is reported
    };

    AlsaSequencerOutput(std::unique_ptr<AlsaCalls> calls, int port, snd_seq_addr_t destination, Kind kind,
                        std::optional<RawMidiOutput> rawMidi, std::size_t pieceSize);

    bool write(snd_seq_event_t& event, std::size_t bytes, std::chrono::steady_clock::time_point deadline);
    bool pauseBefore(SendPacing::Time delay, std::chrono::steady_clock::time_point deadline);
    std::optional<SendPacing::Room> room(std::size_t bytes, std::size_t cells);
    std::optional<RawMidiOutputStatus> rawMidiStatus();
    bool waitUntilDrained(std::chrono::steady_clock::time_point deadline);
    void beginAccounting();
    bool everyByteLeft();
    void endFragment();
    snd_seq_event_t eventToDestination() const;
    SendPacing::Time pacingNow();

    std::unique_ptr<AlsaCalls> calls_;
    int port_;
    snd_seq_addr_t destination_;
    Kind kind_;
    std::optional<RawMidiOutput> rawMidi_;
    std::size_t pieceSize_;
    SendPacing pacing_;
    snd_midi_event_t* encoder_ = nullptr;  // short messages into events
    // The card's count of bytes handed to its hardware that a block must bring it to, less the
    // block's own bytes written so far: once its buffer is empty the two must add up.
    std::optional<std::uint64_t> txBase_;
    std::uint64_t written_ = 0;
};

}  // namespace kaldo::midi
