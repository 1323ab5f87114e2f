#pragma once
// What the amp has said. The MIDI input thread records every message that arrives; only the amp's own
// (its maker's ID, see Messages.h) count. Their codes wait in arrival order until an upload's or a
// dialog's wait takes them, so a reply that follows another at once is never lost behind it, and no
// wait sees a reply twice. replyCode is the latest of the amp's codes, for whatever shows it; the
// version of its last Identity Reply is kept beside it and changes in the same step, so a wait that
// takes 7E finds the version that came with it.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "Version.h"

namespace kaldo {

class ReplyState {
public:
    struct Snapshot {
        int replyCode = 0;
        PackedVersion ampVersion = kNoVersion;
        std::string ampVersionText;
    };

    // What a received message was.
    enum class Kind { Status, Identity, NotTheAmp };
    struct Recorded {
        Kind kind = Kind::NotTheAmp;
        std::string versionText;  // of an Identity Reply
    };

    // Replies kept for the waits at most; beyond it the oldest goes. Every wait's clearing point
    // empties the queue, so only a device babbling in the amp's name could reach it.
    static constexpr std::size_t kMaxWaiting = 1024;

    // Records one received message. Input thread.
    Recorded record(std::span<const std::uint8_t> message);

    int replyCode() const;
    PackedVersion ampVersion() const;
    Snapshot snapshot() const;

    // The clearing point, just before sending what the next reply answers: replyCode becomes 0 and
    // the replies not yet taken are dropped, since none of them can answer what is about to be sent.
    void clearReplyCode();
    // The wizard forgets the amp's version (-1) before it asks again.
    void clearAmpVersion();

    // Takes the waiting replies in arrival order up to the first whose code is one of codes, and
    // returns that code; the ones before it are dropped (the waits ignore codes they don't wait for).
    // None, with the queue emptied, when no waiting reply has such a code.
    //
    // later: codes the amp sends only after the one awaited, so that one of them answers the wait
    // too when the awaited reply was lost on the way (a busy MIDI system drops messages). The first
    // of them ends the wait as well: its code is returned and it stays waiting, for the wait it
    // belongs to.
    std::optional<int> take(std::initializer_list<int> codes, std::initializer_list<int> later = {});
    // Whether a reply with this code waits to be taken. Any thread.
    bool waiting(int code) const;

private:
    mutable std::mutex mutex_;
    Snapshot state_;
    std::deque<int> waiting_;
};

}  // namespace kaldo
