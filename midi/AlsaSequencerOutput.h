#pragma once
// Everything we send on the ALSA sequencer, short messages and System Exclusive blocks alike, leaves
// through one client of our own, so it reaches the device in the order it was sent. RtMidi's ALSA
// output is not used for sending: it cannot carry large blocks (the sequencer refuses single events
// over about 16 KB, and its encoder loses a piece that does not end in F7) and it ignores a refused
// drain.
//
// The kernel reports success for data it then loses: a card's MIDI output drops what does not fit
// into its buffer, a software receiver whose queue overflows empties it, an event sent to the
// subscribers of a port nobody is connected to any more goes nowhere, and the driver of an unplugged
// card discards what waits in its buffer and counts it as handed on. So:
// - every event is addressed to the destination itself, so that a port that went away is an error
//   (the connection stays, since it is what makes the kernel open a card's device);
// - nothing is written before the destination has room for it (SendPacing): a card's port by the
//   free bytes in its rawmidi buffer, a software port by the free cells in its client's input queue,
//   anything else at the classic MIDI rate;
// - what has entered a card's buffer in all (the bytes its driver took, and those still waiting)
//   must be what was there before the block and the block so far. It is looked at before every
//   piece, so an overrun or another program's bytes inside the block stop it before its F7 goes;
// - a failed block ends where it failed and nothing is added: the receiver holds a fragment without
//   its F7, which it drops once the next message begins. A lone F7 would end it as if it were whole;
// - a block has left once the card's buffer is empty (or the receiver has read its queue) and the
//   destination port is still there, since an unplugged card's buffer empties too;
// - a destination that shows its figures is given as long as it keeps taking bytes (see
//   SysExWaitLimit.h); figures that vanish (an unplugged card's /proc files) fail the send at once.
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
    // The deadline is not needed here: a destination that shows its figures fails the block once it
    // stops taking bytes, and one that shows none is paced by the wire-rate estimate, which runs dry
    // by itself.
    bool sendSysEx(std::span<const std::uint8_t> block,
                   std::chrono::steady_clock::time_point deadline) override;

private:
    enum class Kind {
        Card,      // a sound card's port: its rawmidi buffer reports the room
        Software,  // another program's port: its input queue reports the room
        Silent,    // any other port (the kernel's MIDI through, a card without /proc): nothing is reported
    };

    AlsaSequencerOutput(std::unique_ptr<AlsaCalls> calls, int port, snd_seq_addr_t destination, Kind kind,
                        std::optional<RawMidiOutput> rawMidi, std::size_t pieceSize);

    enum class Wait {
        Room,     // for room for the next message
        Drained,  // until everything written has left
    };

    bool write(snd_seq_event_t& event, std::size_t bytes, bool partOfBlock);
    bool waitFor(Wait wait, std::size_t bytes, std::size_t cells);
    std::optional<SendPacing::Room> room(std::size_t bytes, std::size_t cells);
    std::optional<RawMidiOutputStatus> rawMidiStatus();
    std::optional<std::uint64_t> enteredTheCard();
    bool beginBlock();
    bool onlyTheBlockEntered();
    bool destinationStillThere();
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
    // A card's bytes entered before the block began, and the block's bytes written since.
    std::uint64_t enteredBefore_ = 0;
    std::uint64_t written_ = 0;
};

}  // namespace kaldo::midi
