#pragma once
// The System Exclusive messages between the updater and the amp: what is sent, and what is read from
// a reply. Firmware messages are cut from the loaded image exactly as the file stores them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "Version.h"

namespace kaldo {

// MIDI 1.0 universal Identity Request to all devices.
inline constexpr std::array<std::uint8_t, 6> kIdentityRequest{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};

inline constexpr std::uint8_t kProgramChangeChannel1 = 0xC0;

// Status codes the amp sends at offset 6 of its replies.
enum ReplyCode : int {
    kReplyReady = 0x7B,
    kReplyPacketAccepted = 0x7C,
    kReplyPacketError = 0x74,
    kReplyVerified = 0x7D,
    kReplyVerifyFailed = 0x7A,
    kReplyProgrammed = 0x71,
    kReplyIdentity = 0x7E,
};

inline constexpr std::size_t kHeaderMessageLength = 37;
inline constexpr std::size_t kReplyCodeOffset = 6;
inline constexpr std::size_t kIdentityRevisionOffset = 12;

// The header message (first 37 bytes) and packet k of a packet-format image, without copying. Empty
// when the image does not hold the whole message, so a caller can never read past the image.
std::span<const std::uint8_t> headerMessage(std::span<const std::uint8_t> image);
std::span<const std::uint8_t> packetMessage(std::span<const std::uint8_t> image, int packetDataLength, int k);

struct IdentityReply {
    PackedVersion version;
    std::string text;  // "01.02"
};

bool isIdentityReply(std::span<const std::uint8_t> message);
// The status code at offset 6; none when the message is too short or is an Identity Reply.
std::optional<int> replyCodeOf(std::span<const std::uint8_t> message);
// The revision of an Identity Reply; none when it is not one or is too short to carry it.
std::optional<IdentityReply> identityReplyOf(std::span<const std::uint8_t> message);

// The Identity Reply the amp sends (manufacturer 00 00 5A), revision given as four characters.
std::array<std::uint8_t, 17> makeIdentityReply(PackedVersion version);
// A status reply carrying code at offset 6.
std::array<std::uint8_t, 8> makeStatusReply(int code);

}  // namespace kaldo
