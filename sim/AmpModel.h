#pragma once
// The amplifier's side of the line, as the updater sees it: answers the Identity Request, acknowledges
// the header and each packet, reports verify and programming, and afterwards the uploaded revision.
// A fault plan makes it misbehave in the ways a real amp or cable can. No MIDI, no clock: it says
// which replies to send and after how long; the program and the in-process adapter do the sending.
// Not thread-safe: whoever shares one between threads locks around it.
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "Version.h"

namespace kaldo::sim {

// The moments at which the amp answers, in the order an upload reaches them.
enum class Stage { None, Identity, Header, Packet, Verify, Program };

// Other gear on the same line (a synth or pedal chained on the cable, an editor on the interface)
// talking in System Exclusive around every reply of the amp.
enum class ForeignSysEx {
    None,
    Plain,       // another maker's message, longer than a reply, with no code any wait looks for
    StatusLike,  // another maker's message carrying the amp's codes at offset 6 (74, 7C, 7D, 71...)
};

struct FaultPlan {
    Stage silentAt = Stage::None;  // from this stage on the amp says nothing, to anything
    int silentPacket = -1;         // with Stage::Packet: silent from this packet (0-based) on; -1 = 0
    std::set<int> packetErrors;    // packets answered with 74
    bool allPacketsError = false;
    bool verifyFails = false;  // 7A instead of 7D after the last packet
    int replyDelayMs = 5;      // between a message and its answer, where no delay below applies
    // Between the header and 7B, while the amp gets its memory ready. A 7B that comes within the 200 ms
    // the updater pauses after the header must not be lost; a longer delay shows the wait for it.
    int readyDelayMs = 5;
    // Between the last packet's 7C and the verify reply. The updater pauses 600 ms after starting a
    // packet before it looks for 7C and keeps only the latest code, so a verify reply sooner than that
    // would hide the 7C it waits for: a real amp takes this long to check the image.
    int verifyDelayMs = 1000;
    int programmingDelayMs = 1500;  // between 7D and 71
    ForeignSysEx foreignSysEx = ForeignSysEx::None;  // another maker's SysEx before and after every reply
    bool foreignIdentity = false;   // another maker's Identity Reply 200 ms before the amp's own
    bool duplicateReplies = false;  // every status reply sent twice, back to back
    bool keepsRevision = false;     // programs the upload yet goes on reporting its old revision
    bool shortReplies = false;      // replies too short to carry a code or a revision
    // Not the amp at all: another maker's device with this System Exclusive ID (one byte, or three
    // beginning with 00). It answers the Identity Request as itself and takes no firmware.
    std::vector<std::uint8_t> otherMaker;
    int vanishAtPacket = -1;        // the amp disappears (closes its ports) on receiving this packet
    // The amp disappears once this many bytes have reached it, whole messages or not: a cable pulled
    // while a block is still on its way.
    long vanishAfterBytes = -1;
    // After 71 the amp restarts into its new code, as an amp on USB does: gone from the computer for
    // restartOffMs, then back with the new revision. -1: it does not restart.
    int restartOffMs = -1;
    bool restartNeverBack = false;  // it goes and does not come back
    int midiReadyDelayMs = 0;       // back on USB, its MIDI hears nothing for this long
};

struct TimedReply {
    int delayMs;  // after the message that caused it
    std::vector<std::uint8_t> bytes;
    bool restart = false;  // no bytes: the amp restarts at this moment (see FaultPlan::restartOffMs)
};

class AmpModel {
public:
    // A single-block image carries no version; after one the amp reports the revision of the
    // intermediate image the updater carries in that format ("Version 1.39").
    static constexpr PackedVersion kSingleBlockRevision = 0x00010309u;
    // An amp restarts a moment after its last word, 71, so that the word has left before it goes.
    static constexpr int kRestartAfterReplyMs = 200;

    explicit AmpModel(PackedVersion revision, FaultPlan plan = {});

    // One received message; returns what to send back, in order. Nothing once vanished.
    std::vector<TimedReply> receive(std::span<const std::uint8_t> message);
    // Bytes as they reach the amp, before whole messages are made of them: the amp may vanish partway
    // through a message (FaultPlan::vanishAfterBytes).
    void arrived(std::size_t bytes);

    bool vanished() const { return vanished_; }
    PackedVersion revision() const { return revision_; }
    const FaultPlan& plan() const { return plan_; }
    // Every message received, including those that were ignored; none after vanishing.
    const std::vector<std::vector<std::uint8_t>>& received() const { return received_; }
    // The firmware as received: header and packets, or the single block, back to back. The latest
    // upload only: a new header or single block starts it afresh.
    std::vector<std::uint8_t> receivedImage() const { return image_; }
    // Counts uploads that have ended: the last packet, a single block, or vanishing mid-upload. The
    // program writes the received image whenever this grows.
    int uploadsEnded() const { return uploadsEnded_; }
    // One line per received message and per reply, for people.
    const std::vector<std::string>& transcriptLines() const { return transcript_; }
    std::string transcript() const;

private:
    struct Upload {
        std::uint32_t packetCount = 0;
        std::uint32_t packetDataLength = 0;
        PackedVersion version = 0;
        std::uint32_t packetsReceived = 0;
    };

    std::vector<TimedReply> identity();
    std::vector<TimedReply> header(std::span<const std::uint8_t> message);
    std::vector<TimedReply> packet(std::span<const std::uint8_t> message);
    std::vector<TimedReply> singleBlock(std::span<const std::uint8_t> message);
    std::vector<TimedReply> endOfUpload(int afterMs);
    void foreign(std::vector<TimedReply>& out, int delayMs);

    // True once stage has been reached by a plan that silences it; stays true.
    bool silentFrom(Stage stage, int packet = 0);
    void reply(std::vector<TimedReply>& out, int delayMs, std::vector<std::uint8_t> bytes,
               const std::string& what);
    void status(std::vector<TimedReply>& out, int delayMs, int code, const std::string& more = "");
    void note(std::string line);

    PackedVersion revision_;
    FaultPlan plan_;
    bool vanished_ = false;
    bool silent_ = false;
    bool uploading_ = false;
    Upload upload_;
    int uploadsEnded_ = 0;
    int foreignSent_ = 0;
    long bytesArrived_ = 0;
    std::vector<std::uint8_t> image_;
    std::vector<std::vector<std::uint8_t>> received_;
    std::vector<std::string> transcript_;
};

}  // namespace kaldo::sim
