#pragma once
// Packed four-digit versions: digits d1 d2 d3 d4, one per byte, d1 most significant, so that
// versions compare as plain numbers (01.59 is 0x00010509). Shown as "d1d2.d3d4".
#include <cstdint>
#include <string>

namespace kaldo {

using PackedVersion = std::uint32_t;

// The reply handling's "no version known yet" (-1 in the amp's 32-bit field).
inline constexpr PackedVersion kNoVersion = 0xFFFFFFFFu;

// Last revision that only understands blind uploads; anything above talks back.
inline constexpr PackedVersion kLastBlindOnlyVersion = 0x00010509u;

// "02.83" for 0x00020803; each byte is written as '0' + its value, as the amp's own display does.
std::string versionText(PackedVersion v);

}  // namespace kaldo
