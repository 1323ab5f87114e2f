#pragma once
// What TMidiIn does with the bytes the MIDI system hands it. Systems deliver System Exclusive input
// in their own portions: a whole message, or pieces of it (RtMidi over JACK hands on each event as
// it came when it cannot join them). The receive buffer gathers them and passes on System Exclusive
// data in buffers of at most 16,000 bytes, as the input port has always delivered it: a message
// that fits in one buffer in one call, a longer one as full buffers in order and a shorter last one.
// Short messages go on as they are. Allocates once, never per message.
//
// A message that another status byte cuts short (a new F0 after an overrun lost its F7, or any
// status byte from 80 to F6) ends there, and what is gathered of it is dropped, not passed on as if
// it were whole: a reply with its end missing is no reply. The status byte starts what follows. A
// message in progress when the system says input was lost is dropped too, and the rest of it, which
// comes without its F0, with it: joined, the two would make a message nobody sent.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace kaldo::midi {

class ReceiveBuffer {
public:
    static constexpr std::size_t kBufferSize = 16000;

    using SysExSink = std::function<void(std::span<const std::uint8_t> buffer)>;
    using ShortSink = std::function<void(std::uint8_t status, std::uint8_t first, std::uint8_t second)>;
    // What was dropped of a message cut short (perhaps nothing, when a full buffer had just gone
    // on), its whole length so far, and the status byte that cut it.
    using DropSink = std::function<void(std::span<const std::uint8_t> dropped, std::size_t length, std::uint8_t cutBy)>;

    ReceiveBuffer();

    // What was dropped when input was lost (perhaps nothing), and its whole length so far.
    using LostSink = std::function<void(std::span<const std::uint8_t> dropped, std::size_t length)>;

    // One portion as the system delivered it.
    void receive(std::span<const std::uint8_t> bytes, const SysExSink& sysEx, const ShortSink& shortMessage,
                 const DropSink& dropped);

    // The system lost input at this point (MidiBackend's kInputLost): a message in progress is dropped.
    void lost(const LostSink& dropped);

    // Forgets a message in progress (the port closed in the middle of it).
    void clear();

private:
    void flush(const SysExSink& sysEx);

    std::vector<std::uint8_t> buffer_;
    bool inSysEx_ = false;
    std::size_t length_ = 0;  // of the message in progress, buffers passed on included
};

}  // namespace kaldo::midi
