#include "ReplyState.h"

#include <algorithm>

#include "Messages.h"

namespace kaldo {

ReplyState::Recorded ReplyState::record(std::span<const std::uint8_t> message) {
    const auto identity = identityReplyOf(message);
    const auto code = identity ? std::optional<int>(kReplyIdentity) : replyCodeOf(message);
    if (!code) return {};
    std::lock_guard lock(mutex_);
    if (identity) {
        state_.ampVersion = identity->version;
        state_.ampVersionText = identity->text;
    }
    state_.replyCode = *code;
    if (waiting_.size() >= kMaxWaiting) waiting_.pop_front();
    waiting_.push_back(*code);
    if (identity) return {Kind::Identity, identity->text};
    return {Kind::Status, {}};
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
    waiting_.clear();
}

void ReplyState::clearAmpVersion() {
    std::lock_guard lock(mutex_);
    state_.ampVersion = kNoVersion;
}

bool ReplyState::waiting(int code) const {
    std::lock_guard lock(mutex_);
    return std::find(waiting_.begin(), waiting_.end(), code) != waiting_.end();
}

std::optional<int> ReplyState::take(std::initializer_list<int> codes, std::initializer_list<int> later) {
    std::lock_guard lock(mutex_);
    while (!waiting_.empty()) {
        const int code = waiting_.front();
        if (std::find(later.begin(), later.end(), code) != later.end()) return code;
        waiting_.pop_front();
        if (std::find(codes.begin(), codes.end(), code) != codes.end()) return code;
    }
    return std::nullopt;
}

}  // namespace kaldo
