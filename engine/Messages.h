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

// The amp maker's System Exclusive ID: offsets 1-3 of the firmware header and of every status reply,
// offsets 5-7 of the amp's Identity Reply. A MIDI line may carry other gear (a pedal chained on the
// cable, an editor on the same interface) that answers too; only messages with this ID are the amp's.
inline constexpr std::array<std::uint8_t, 3> kAmpManufacturer{0x00, 0x00, 0x5A};

// The header message (first 37 bytes) and packet k of a packet-format image, without copying. Empty
// when the image does not hold the whole message, so a caller can never read past the image.
std::span<const std::uint8_t> headerMessage(std::span<const std::uint8_t> image);
std::span<const std::uint8_t> packetMessage(std::span<const std::uint8_t> image, int packetDataLength, int k);

struct IdentityReply {
    PackedVersion version;
    std::string text;  // "01.02"
};

// Any device's answer to the Identity Request: F0 7E, any device ID, 06 02. The request itself
// (06 01) is never an answer.
bool isIdentityReply(std::span<const std::uint8_t> message);
// The status code at offset 6 of the amp's status reply (F0 00 00 5A ...); none for any other
// maker's message, an Identity Reply, or a message too short to carry it.
std::optional<int> replyCodeOf(std::span<const std::uint8_t> message);
// The revision of the amp's Identity Reply (F0 7E, any device ID, 06 02, 00 00 5A, revision at
// offsets 12-15); none for another maker's reply or one too short to carry a revision.
std::optional<IdentityReply> identityReplyOf(std::span<const std::uint8_t> message);

// The Identity Reply the amp sends (manufacturer 00 00 5A), revision given as four characters.
std::array<std::uint8_t, 17> makeIdentityReply(PackedVersion version);
// A status reply carrying code at offset 6.
std::array<std::uint8_t, 8> makeStatusReply(int code);

}  // namespace kaldo
