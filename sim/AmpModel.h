#pragma once
// The amplifier's side of the line, as the updater sees it: answers the Identity Request, acknowledges
// the header and each packet, reports verify and programming, and afterwards the uploaded revision.
// A fault plan makes it misbehave in the ways a real amp or cable can. No MIDI, no clock: it says
// which replies to send and after how long; the program and the in-process adapter do the sending.
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "Version.h"

namespace kaldo::sim {

enum class Stage { None, Identity, Header, Packet, Verify, Program };

struct FaultPlan {
    Stage silentAt = Stage::None;    // from this stage on the amp says nothing
    int silentPacket = -1;           // with Stage::Packet: silent from this packet (0-based) on
    std::set<int> packetErrors;      // packets answered with 74
    bool allPacketsError = false;
    bool verifyFails = false;        // 7A instead of 7D after the last packet
    int replyDelayMs = 5;            // between a message and its answer
    int programmingDelayMs = 1500;   // between 7D and 71
    bool garbageReplies = false;     // an unrelated SysEx before every reply
    bool shortReplies = false;       // replies too short to carry a code
    int vanishAtPacket = -1;         // the amp disappears (closes its ports) on receiving this packet
};

struct TimedReply {
    int delayMs;  // after the message that caused it
    std::vector<std::uint8_t> bytes;
};

class AmpModel {
public:
    explicit AmpModel(PackedVersion revision, FaultPlan plan = {});

    // One received message; returns what to send back, in order.
    std::vector<TimedReply> receive(std::span<const std::uint8_t> message);

    bool vanished() const { return vanished_; }
    PackedVersion revision() const { return revision_; }
    const std::vector<std::vector<std::uint8_t>>& received() const { return received_; }
    // The firmware as received: header and packets, or the single block, back to back.
    std::vector<std::uint8_t> receivedImage() const;
    // One line per received message and per reply, for people.
    std::string transcript() const;

private:
    PackedVersion revision_;
    FaultPlan plan_;
    bool vanished_ = false;
    std::vector<std::vector<std::uint8_t>> received_;
    std::vector<std::string> transcript_;
};

}  // namespace kaldo::sim
