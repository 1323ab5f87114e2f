#pragma once
// Cutting a System Exclusive block into pieces a MIDI system can carry. Some systems take a block of
// any size at once; others take single events of about 16 KB at most (JACK's ring and port buffers,
// ALSA's sequencer events), so a 1 MiB firmware image leaves as a train of pieces. The first piece
// starts with F0, the last ends with F7, and the pieces put back together are the block.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kaldo::midi {

// The pieces of block, each at most maxPiece bytes (maxPiece > 0), in order, without copying.
std::vector<std::span<const std::uint8_t>> sysExPieces(std::span<const std::uint8_t> block, std::size_t maxPiece);

}  // namespace kaldo::midi
