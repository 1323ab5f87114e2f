#pragma once
// Writes KALDO firmware files for tests, fuzz seeds, benchmarks and demos: valid single-block and
// packet files with a chosen version, packet count, data length and encryption flag. Broken variants
// are made by editing the bytes afterwards (see breakAt and kaldo-make-firmware's --set/--truncate).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "Version.h"

namespace kaldo::tools {

enum class FirmwareFormat { SingleBlock, Packet };

struct FirmwareOptions {
    FirmwareFormat format = FirmwareFormat::Packet;
    // Packet format: the four version bytes, d1 in the most significant byte (0x00020803 is 02.83).
    PackedVersion version = 0x00020803;
    std::uint32_t packetCount = 20;
    std::uint32_t packetDataLength = 1024;
    std::uint8_t encryptionFlag = 0;
    // Packet format: the size the header tells the user; by default packetCount × packetDataLength.
    std::optional<std::uint32_t> shownSize;
    // Single-block format: the length of the whole file.
    std::size_t blockLength = 4096;
    // Seeds the data bytes, which are seven-bit pseudo-random values.
    std::uint32_t seed = 1;
};

std::vector<std::uint8_t> makeFirmware(const FirmwareOptions& options);

// Offset of the first byte of packet k of a packet-format file made from options.
std::size_t packetOffset(const FirmwareOptions& options, std::uint32_t k);

// Stores value as eight four-bit groups, least significant first, as the packet header holds it.
void putNibbles(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);

// "02.83" → 0x00020803; none unless two digits, a point and two digits.
std::optional<PackedVersion> parseVersionText(std::string_view text);

bool writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace kaldo::tools
