#pragma once
// Sends one block in the background so the window thread stays free to animate and to see replies.
// The upload creates one per block and finishes it before the next.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace kaldo {

class MidiLink;

class BlockSender {
public:
    virtual ~BlockSender() = default;
    // Starts sending; the bytes stay untouched until finish() returns.
    virtual void start(const std::uint8_t* data, std::size_t length) = 0;
    // The done flag: set once the block has left (or failed to). Thread-safe.
    virtual bool done() const = 0;
    // Waits for the send to end; returns whether the block left intact.
    virtual bool finish() = 0;
};

// Makes the senders of one upload. The real one runs a thread (threader); tests may send inline.
class BlockSenderFactory {
public:
    virtual ~BlockSenderFactory() = default;
    virtual std::unique_ptr<BlockSender> make(MidiLink& link) = 0;
};

}  // namespace kaldo
