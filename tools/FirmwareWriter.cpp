#include "FirmwareWriter.h"

#include <fstream>

namespace kaldo::tools {
namespace {

constexpr std::size_t kHeaderLength = 37;
constexpr std::uint8_t kPrefix[] = {0xF0, 0x00, 0x00, 0x5A, 0x12, 0x01};

class DataBytes {
public:
    explicit DataBytes(std::uint32_t seed) : state_(seed ? seed : 1) {}
    std::uint8_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<std::uint8_t>(state_ & 0x7F);
    }

private:
    std::uint32_t state_;
};

void appendMessage(std::vector<std::uint8_t>& out, std::uint8_t type, std::size_t length, DataBytes& data) {
    const std::size_t start = out.size();
    out.insert(out.end(), std::begin(kPrefix), std::end(kPrefix));
    out.push_back(type);
    while (out.size() - start + 1 < length) out.push_back(data.next());
    out.push_back(0xF7);
}

}  // namespace

void putNibbles(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 8; ++i)
        bytes.at(offset + i) = static_cast<std::uint8_t>((value >> (4 * i)) & 0x0F);
}

std::vector<std::uint8_t> makeFirmware(const FirmwareOptions& options) {
    DataBytes data(options.seed);
    std::vector<std::uint8_t> out;
    if (options.format == FirmwareFormat::SingleBlock) {
        appendMessage(out, 0x16, options.blockLength, data);
        if (out.size() > 15) out[15] = options.encryptionFlag;
        return out;
    }
    out.reserve(packetOffset(options, options.packetCount));
    appendMessage(out, 0x19, kHeaderLength, data);
    putNibbles(out, 7, options.packetCount);
    putNibbles(out, 15, options.packetDataLength);
    putNibbles(out, 23, options.shownSize.value_or(options.packetCount * options.packetDataLength));
    for (std::size_t i = 0; i < 4; ++i)
        out[31 + i] = static_cast<std::uint8_t>(options.version >> (24 - 8 * i));
    out[35] = options.encryptionFlag;
    for (std::uint32_t k = 0; k < options.packetCount; ++k) {
        // Each packet carries its number (seven bits) where the header carries the format type.
        appendMessage(out, static_cast<std::uint8_t>(k & 0x7F), options.packetDataLength + kHeaderLength,
                      data);
    }
    return out;
}

std::size_t packetOffset(const FirmwareOptions& options, std::uint32_t k) {
    return kHeaderLength + static_cast<std::size_t>(k) * (options.packetDataLength + kHeaderLength);
}

std::optional<PackedVersion> parseVersionText(std::string_view text) {
    if (text.size() != 5 || text[2] != '.') return std::nullopt;
    PackedVersion v = 0;
    for (std::size_t i : {0, 1, 3, 4}) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        v = (v << 8) | static_cast<PackedVersion>(text[i] - '0');
    }
    return v;
}

bool writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return static_cast<bool>(file);
}

}  // namespace kaldo::tools
