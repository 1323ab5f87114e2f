#pragma once
// What the amp last said: the code of the last received message and the revision of the last
// Identity Reply. Written by the MIDI input thread, read by the waits on the window thread; the
// three values change together, so a reader that sees 7E also sees the version that came with it.
#include <cstdint>
#include <mutex>
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

    // Records one received message; returns the revision text when it was an Identity Reply that
    // carried one, else an empty string. Input thread.
    std::string record(std::span<const std::uint8_t> message);

    int replyCode() const;
    PackedVersion ampVersion() const;
    Snapshot snapshot() const;

    // The waiters clear the code before sending what it answers.
    void clearReplyCode();
    // The wizard forgets the amp's version (-1) before it asks again.
    void clearAmpVersion();

private:
    mutable std::mutex mutex_;
    Snapshot state_;
};

}  // namespace kaldo
