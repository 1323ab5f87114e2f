#include "ReplyState.h"

#include "Messages.h"

namespace kaldo {

std::string ReplyState::record(std::span<const std::uint8_t> message) {
    const auto identity = identityReplyOf(message);
    std::lock_guard lock(mutex_);
    if (identity) {
        state_.ampVersion = identity->version;
        state_.ampVersionText = identity->text;
        state_.replyCode = kReplyIdentity;
        return identity->text;
    }
    if (isIdentityReply(message)) {
        // Too short to carry a revision: still an Identity Reply by its second byte.
        state_.replyCode = kReplyIdentity;
    } else if (const auto code = replyCodeOf(message)) {
        state_.replyCode = *code;
    }
    return {};
}

int ReplyState::replyCode() const {
    std::lock_guard lock(mutex_);
    return state_.replyCode;
}

PackedVersion ReplyState::ampVersion() const {
    std::lock_guard lock(mutex_);
    return state_.ampVersion;
}

ReplyState::Snapshot ReplyState::snapshot() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void ReplyState::clearReplyCode() {
    std::lock_guard lock(mutex_);
    state_.replyCode = 0;
}

void ReplyState::clearAmpVersion() {
    std::lock_guard lock(mutex_);
    state_.ampVersion = kNoVersion;
}

}  // namespace kaldo
