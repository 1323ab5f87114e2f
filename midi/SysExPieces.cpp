#include "SysExPieces.h"

#include <algorithm>

namespace kaldo::midi {

std::vector<std::span<const std::uint8_t>> sysExPieces(std::span<const std::uint8_t> block, std::size_t maxPiece) {
    std::vector<std::span<const std::uint8_t>> pieces;
    pieces.reserve(block.size() / maxPiece + 1);
    for (std::size_t at = 0; at < block.size(); at += maxPiece) {
        pieces.push_back(block.subspan(at, std::min(maxPiece, block.size() - at)));
    }
    return pieces;
}

}  // namespace kaldo::midi
