#include "Messages.h"

#include <algorithm>

namespace kaldo {

std::span<const std::uint8_t> headerMessage(std::span<const std::uint8_t> image) {
    if (image.size() < kHeaderMessageLength) return {};
    return image.first(kHeaderMessageLength);
}

std::span<const std::uint8_t> packetMessage(std::span<const std::uint8_t> image, int packetDataLength,
                                            int k) {
    if (packetDataLength < 0 || k < 0) return {};
    const std::uint64_t length = static_cast<std::uint64_t>(packetDataLength) + kHeaderMessageLength;
    const std::uint64_t start = kHeaderMessageLength + static_cast<std::uint64_t>(k) * length;
    if (start + length > image.size()) return {};
    return image.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
}

namespace {

bool madeByTheAmpMaker(std::span<const std::uint8_t> message, std::size_t offset) {
    return message.size() >= offset + kAmpManufacturer.size() &&
           std::equal(kAmpManufacturer.begin(), kAmpManufacturer.end(),
                      message.begin() + static_cast<std::ptrdiff_t>(offset));
}

}  // namespace

// Only the reply (06 02): our own request (06 01) comes back from a port that echoes what it is sent
// (the kernel's MIDI through port), and that is no device answering.
bool isIdentityReply(std::span<const std::uint8_t> message) {
    return message.size() > 4 && message[0] == 0xF0 && message[1] == 0x7E && message[3] == 0x06 &&
           message[4] == 0x02;
}

std::optional<int> replyCodeOf(std::span<const std::uint8_t> message) {
    if (message.size() <= kReplyCodeOffset || message[0] != 0xF0 || !madeByTheAmpMaker(message, 1)) {
        return std::nullopt;
    }
    return message[kReplyCodeOffset];
}

std::optional<IdentityReply> identityReplyOf(std::span<const std::uint8_t> message) {
    if (message.size() < kIdentityRevisionOffset + 4 || message[0] != 0xF0 || message[1] != 0x7E ||
        message[3] != 0x06 || message[4] != 0x02 || !madeByTheAmpMaker(message, 5)) {
        return std::nullopt;
    }
    PackedVersion version = 0;
    std::string text;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint8_t c = message[kIdentityRevisionOffset + i];
        version = (version << 8) | static_cast<std::uint8_t>(c - 0x30);
        if (i == 2) text.push_back('.');
        text.push_back(static_cast<char>(c));
    }
    return IdentityReply{version, text};
}

std::array<std::uint8_t, 17> makeIdentityReply(PackedVersion version) {
    std::array<std::uint8_t, 17> m{0xF0, 0x7E, 0x7F, 0x06, 0x02, 0x00, 0x00, 0x5A, 0x12, 0x00, 0x01, 0x00};
    for (std::size_t i = 0; i < 4; ++i) {
        m[kIdentityRevisionOffset + i] = static_cast<std::uint8_t>(0x30 + ((version >> (24 - 8 * i)) & 0xFF));
    }
    m[16] = 0xF7;
    return m;
}

std::array<std::uint8_t, 8> makeStatusReply(int code) {
    return {0xF0, 0x00, 0x00, 0x5A, 0x12, 0x01, static_cast<std::uint8_t>(code), 0xF7};
}

}  // namespace kaldo
