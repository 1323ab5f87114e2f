#include "AmpModel.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

#include "Messages.h"

namespace kaldo::sim {
namespace {

constexpr std::size_t kHeaderLength = 37;
constexpr std::uint8_t kFormatSingleBlock = 0x16;
constexpr std::uint8_t kFormatPacket = 0x19;
// Another maker's message (the non-commercial ID 7D) whose offset 6 holds a code no wait looks for.
const std::vector<std::uint8_t> kForeign{0xF0, 0x7D, 0x01, 0x02, 0x03, 0x04, 0x55, 0x00, 0x11, 0x22, 0xF7};
// The codes a status-like foreign message carries at offset 6, in turn.
constexpr std::uint8_t kStatusLikeCodes[] = {0x74, 0x7C, 0x7D, 0x71, 0x7B, 0x7A};
// Another maker's Identity Reply (maker 00 20 6B), revision 09.99, and how much sooner it arrives.
const std::vector<std::uint8_t> kForeignIdentity{0xF0, 0x7E, 0x7F, 0x06, 0x02, 0x00, 0x20, 0x6B, 0x01,
                                                 0x00, 0x01, 0x00, 0x30, 0x39, 0x39, 0x39, 0xF7};
constexpr int kForeignIdentityLeadMs = 200;

bool isIdentityRequest(std::span<const std::uint8_t> m) {
    return m.size() == 6 && m[0] == 0xF0 && m[1] == 0x7E && m[3] == 0x06 && m[4] == 0x01 && m[5] == 0xF7;
}

// F0, the manufacturer ID, the model byte, and F7 at the end: a message meant for this amp.
bool isOurs(std::span<const std::uint8_t> m) {
    return m.size() >= 8 && m[0] == 0xF0 && m[1] == 0x00 && m[2] == 0x00 && m[3] == 0x5A && m[4] == 0x12 &&
           m.back() == 0xF7;
}

// Eight bytes of four bits each, least significant first; nothing when a byte holds more.
bool nibbleValue(std::span<const std::uint8_t> m, std::size_t offset, std::uint32_t& value) {
    value = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        if (m[offset + i] > 0x0F) return false;
        value |= static_cast<std::uint32_t>(m[offset + i]) << (4 * i);
    }
    return true;
}

std::string hex(std::span<const std::uint8_t> m) {
    constexpr std::size_t kShown = 12;
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < std::min(m.size(), kShown); ++i) {
        std::snprintf(byte, sizeof byte, "%s%02X", i ? " " : "", m[i]);
        text += byte;
    }
    if (m.size() > kShown) text += " ...";
    return text;
}

std::string codeName(int code) {
    switch (code) {
        case kReplyReady:
            return "7B ready";
        case kReplyPacketAccepted:
            return "7C packet accepted";
        case kReplyPacketError:
            return "74 packet error";
        case kReplyVerified:
            return "7D verified";
        case kReplyVerifyFailed:
            return "7A verify failed";
        case kReplyProgrammed:
            return "71 programming complete";
        default:
            return "code " + std::to_string(code);
    }
}

}  // namespace

AmpModel::AmpModel(PackedVersion revision, FaultPlan plan) : revision_(revision), plan_(std::move(plan)) {}

std::vector<TimedReply> AmpModel::receive(std::span<const std::uint8_t> message) {
    if (vanished_) return {};
    received_.emplace_back(message.begin(), message.end());
    if (isIdentityRequest(message)) {
        note("<- identity request");
        return identity();
    }
    if (!plan_.otherMaker.empty()) {
        note("<- message (" + std::to_string(message.size()) + " bytes) for another maker's device, ignored");
        return {};
    }
    const bool isHeader = isOurs(message) && message.size() == kHeaderLength && message[6] == kFormatPacket;
    const bool packetsExpected = uploading_ && upload_.packetsReceived < upload_.packetCount;
    // A header arriving where a packet is due starts the upload over (the updater tried again), unless
    // packets are as long as headers and it may be a packet after all.
    if (packetsExpected && !(isHeader && upload_.packetDataLength != 0)) return packet(message);
    if (isHeader) return header(message);
    if (isOurs(message) && message[6] == kFormatSingleBlock) return singleBlock(message);
    if (message.size() == 2 && (message[0] & 0xF0) == 0xC0) {
        note("<- program change " + std::to_string(message[1]) + " on channel " +
             std::to_string((message[0] & 0x0F) + 1));
        return {};
    }
    note("<- unexpected message (" + std::to_string(message.size()) + " bytes): " + hex(message) +
         ", ignored");
    return {};
}

void AmpModel::arrived(std::size_t bytes) {
    if (vanished_) return;
    bytesArrived_ += static_cast<long>(bytes);
    if (plan_.vanishAfterBytes < 0 || bytesArrived_ < plan_.vanishAfterBytes) return;
    vanished_ = true;
    if (uploading_) ++uploadsEnded_;
    uploading_ = false;
    note("-- " + std::to_string(bytesArrived_) + " bytes arrived; the amp vanishes");
}

std::vector<TimedReply> AmpModel::identity() {
    std::vector<TimedReply> out;
    if (silentFrom(Stage::Identity)) return out;
    if (!plan_.otherMaker.empty()) {
        // Built by appending one byte at a time: GCC 12 at -O2 misreads a range insert into this
        // short vector as out of bounds (-Warray-bounds) and the Release build stops on it.
        std::vector<std::uint8_t> bytes;
        for (std::uint8_t b : {0xF0, 0x7E, 0x7F, 0x06, 0x02}) bytes.push_back(b);
        for (std::uint8_t b : plan_.otherMaker) bytes.push_back(b);
        for (std::uint8_t b : {0x01, 0x00, 0x01, 0x00, 0x30, 0x31, 0x30, 0x30, 0xF7}) bytes.push_back(b);
        reply(out, plan_.replyDelayMs, std::move(bytes), "identity reply as another maker's device");
        return out;
    }
    int delayMs = plan_.replyDelayMs;
    if (plan_.foreignIdentity) {
        out.push_back({delayMs, kForeignIdentity});
        note("-> another maker's identity reply " + hex(kForeignIdentity) + " (after " + std::to_string(delayMs) +
             " ms)");
        delayMs += kForeignIdentityLeadMs;
    }
    const auto full = makeIdentityReply(revision_);
    std::vector<std::uint8_t> bytes(full.begin(), full.end());
    if (plan_.shortReplies) bytes = {0xF0, 0x7E, 0x7F, 0x06, 0x02, 0x00, 0x00, 0x5A, 0xF7};
    reply(out, delayMs, std::move(bytes), "identity reply " + versionText(revision_));
    return out;
}

std::vector<TimedReply> AmpModel::header(std::span<const std::uint8_t> message) {
    std::uint32_t count = 0;
    std::uint32_t dataLength = 0;
    std::uint32_t ignored = 0;
    if (!nibbleValue(message, 7, count) || !nibbleValue(message, 15, dataLength) ||
        !nibbleValue(message, 23, ignored)) {
        note("<- header with a field out of range: " + hex(message) + ", ignored");
        return {};
    }
    PackedVersion version = 0;
    for (std::size_t i = 31; i < 35; ++i) version = (version << 8) | (message[i] & 0x0F);
    upload_ = Upload{count, dataLength, version, 0};
    uploading_ = true;
    image_.assign(message.begin(), message.end());
    note("<- header: " + std::to_string(count) + " packets of " + std::to_string(dataLength) +
         " data bytes, version " + versionText(version));
    std::vector<TimedReply> out;
    if (silentFrom(Stage::Header)) return out;
    status(out, plan_.readyDelayMs, kReplyReady);
    if (count == 0) {
        auto rest = endOfUpload(plan_.readyDelayMs);
        out.insert(out.end(), rest.begin(), rest.end());
    }
    return out;
}

std::vector<TimedReply> AmpModel::packet(std::span<const std::uint8_t> message) {
    const std::uint32_t k = upload_.packetsReceived++;
    image_.insert(image_.end(), message.begin(), message.end());
    const std::string which = "packet " + std::to_string(k + 1) + " of " +
                              std::to_string(upload_.packetCount) + " (" + std::to_string(message.size()) +
                              " bytes)";
    if (plan_.vanishAtPacket >= 0 && k == static_cast<std::uint32_t>(plan_.vanishAtPacket)) {
        vanished_ = true;
        uploading_ = false;
        ++uploadsEnded_;
        note("<- " + which + "; the amp vanishes");
        return {};
    }
    const bool wellFormed =
        message.size() == static_cast<std::size_t>(upload_.packetDataLength) + kHeaderLength &&
        message.front() == 0xF0 && message.back() == 0xF7;
    note("<- " + which + (wellFormed ? "" : ", malformed"));
    std::vector<TimedReply> out;
    if (silentFrom(Stage::Packet, static_cast<int>(k))) return out;
    const bool planned = plan_.allPacketsError || plan_.packetErrors.contains(static_cast<int>(k));
    const int code = wellFormed && !planned ? kReplyPacketAccepted : kReplyPacketError;
    status(out, plan_.replyDelayMs, code);
    if (upload_.packetsReceived == upload_.packetCount) {
        auto rest = endOfUpload(plan_.replyDelayMs);
        out.insert(out.end(), rest.begin(), rest.end());
    }
    return out;
}

std::vector<TimedReply> AmpModel::singleBlock(std::span<const std::uint8_t> message) {
    uploading_ = false;
    image_.assign(message.begin(), message.end());
    revision_ = kSingleBlockRevision;
    ++uploadsEnded_;
    note("<- single-block image (" + std::to_string(message.size()) + " bytes), accepted silently; now " +
         versionText(revision_));
    return {};
}

std::vector<TimedReply> AmpModel::endOfUpload(int afterMs) {
    uploading_ = false;
    ++uploadsEnded_;
    std::vector<TimedReply> out;
    if (silentFrom(Stage::Verify)) return out;
    const int verifiedAt = afterMs + plan_.verifyDelayMs;
    if (plan_.verifyFails) {
        status(out, verifiedAt, kReplyVerifyFailed);
        return out;
    }
    status(out, verifiedAt, kReplyVerified);
    if (silentFrom(Stage::Program)) return out;
    if (!plan_.keepsRevision) revision_ = upload_.version;
    const int programmedAt = verifiedAt + plan_.programmingDelayMs;
    status(out, programmedAt, kReplyProgrammed,
           ", now " + versionText(revision_) + (plan_.keepsRevision ? " (kept, fault plan)" : ""));
    if (plan_.restartOffMs >= 0) {
        out.push_back({programmedAt + kRestartAfterReplyMs, {}, true});
        note("-- restarts " + std::to_string(programmedAt + kRestartAfterReplyMs) + " ms from here: gone for " +
             (plan_.restartNeverBack ? "good" : std::to_string(plan_.restartOffMs) + " ms") +
             (plan_.midiReadyDelayMs > 0 ? ", its MIDI ready " + std::to_string(plan_.midiReadyDelayMs) +
                                               " ms after it is back"
                                         : ""));
    }
    return out;
}

bool AmpModel::silentFrom(Stage stage, int packet) {
    if (!silent_ && plan_.silentAt != Stage::None && stage >= plan_.silentAt) {
        silent_ = stage != Stage::Packet || plan_.silentAt != Stage::Packet ||
                  packet >= std::max(0, plan_.silentPacket);
        if (silent_) note("-- silent from here on (fault plan)");
    }
    return silent_;
}

// Other gear's message at the same moment as a reply of the amp, before or after it.
void AmpModel::foreign(std::vector<TimedReply>& out, int delayMs) {
    if (plan_.foreignSysEx == ForeignSysEx::None) return;
    std::vector<std::uint8_t> bytes = kForeign;
    if (plan_.foreignSysEx == ForeignSysEx::StatusLike) {
        bytes[kReplyCodeOffset] = kStatusLikeCodes[foreignSent_ % std::size(kStatusLikeCodes)];
    }
    ++foreignSent_;
    note("-> another maker's message " + hex(bytes) + " (after " + std::to_string(delayMs) + " ms)");
    out.push_back({delayMs, std::move(bytes)});
}

void AmpModel::reply(std::vector<TimedReply>& out, int delayMs, std::vector<std::uint8_t> bytes,
                     const std::string& what) {
    foreign(out, delayMs);
    note("-> " + what + ": " + hex(bytes) + " (after " + std::to_string(delayMs) + " ms)");
    out.push_back({delayMs, std::move(bytes)});
    foreign(out, delayMs);
}

void AmpModel::status(std::vector<TimedReply>& out, int delayMs, int code, const std::string& more) {
    const auto full = makeStatusReply(code);
    std::vector<std::uint8_t> bytes(full.begin(), full.end());
    if (plan_.shortReplies) bytes = {0xF0, 0x00, 0x00, 0x5A, 0x12, 0xF7};
    if (plan_.duplicateReplies) reply(out, delayMs, bytes, codeName(code) + more + " (first of two)");
    reply(out, delayMs, std::move(bytes), codeName(code) + more);
}

void AmpModel::note(std::string line) {
    transcript_.push_back(std::move(line));
}

std::string AmpModel::transcript() const {
    std::string text;
    for (const auto& line : transcript_) text += line + '\n';
    return text;
}

}  // namespace kaldo::sim
