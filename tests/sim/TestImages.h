#pragma once
// Firmware images made by hand for the simulator's tests: a packet-format header with its nibble
// fields, packets of filler data, and a single block.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

#include "Version.h"

namespace kaldo::sim::test {

inline void putNibbles(std::vector<std::uint8_t>& m, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 8; ++i) m[offset + i] = static_cast<std::uint8_t>((value >> (4 * i)) & 0x0F);
}

inline std::vector<std::uint8_t> header(std::uint32_t packetCount, std::uint32_t packetDataLength,
                                        PackedVersion version) {
    std::vector<std::uint8_t> m(37, 0);
    const std::uint8_t start[] = {0xF0, 0x00, 0x00, 0x5A, 0x12, 0x01, 0x19};
    std::copy(std::begin(start), std::end(start), m.begin());
    putNibbles(m, 7, packetCount);
    putNibbles(m, 15, packetDataLength);
    putNibbles(m, 23, packetCount * (packetDataLength + 37) + 37);
    for (std::size_t i = 0; i < 4; ++i)
        m[31 + i] = static_cast<std::uint8_t>((version >> (24 - 8 * i)) & 0x0F);
    m[36] = 0xF7;
    return m;
}

// Packet k: F0, the maker's bytes, then data that differ from packet to packet, then F7.
inline std::vector<std::uint8_t> packet(std::uint32_t packetDataLength, int k) {
    std::vector<std::uint8_t> m(packetDataLength + 37);
    for (std::size_t i = 0; i < m.size(); ++i) m[i] = static_cast<std::uint8_t>((i * 7 + k * 13) & 0x7F);
    const std::uint8_t start[] = {0xF0, 0x00, 0x00, 0x5A, 0x12, 0x01, 0x20};
    std::copy(std::begin(start), std::end(start), m.begin());
    m.back() = 0xF7;
    return m;
}

inline std::vector<std::uint8_t> singleBlock(std::size_t size) {
    std::vector<std::uint8_t> m(size, 0x11);
    const std::uint8_t start[] = {0xF0, 0x00, 0x00, 0x5A, 0x12, 0x01, 0x16};
    std::copy(std::begin(start), std::end(start), m.begin());
    m.back() = 0xF7;
    return m;
}

}  // namespace kaldo::sim::test
