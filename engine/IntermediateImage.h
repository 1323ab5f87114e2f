#pragma once
// The intermediate firmware the program carries itself: an amp still at revision 1.02 must take it
// before any newer code. Single-block format, not encrypted, the same bytes in every build.
#include <cstddef>
#include <cstdint>
#include <span>

namespace kaldo {

inline constexpr std::size_t kIntermediateImageSize = 52576;

std::span<const std::uint8_t, kIntermediateImageSize> intermediateImage();

}  // namespace kaldo
