#include "JackPeer.h"

#include <algorithm>
#include <thread>

#include "Messages.h"

namespace kaldo::midi::testing {

JackPeer::JackPeer(const std::string& client, std::optional<PackedVersion> answerIdentity)
    : client_(client), answerIdentity_(answerIdentity) {
    out_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, client + "-out");
    out_->openVirtualPort("out");
    in_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, client, 1000);
    in_->ignoreTypes(false, true, true);
    in_->setCallback(&JackPeer::callback, this);
    in_->openVirtualPort("in");
}

// RtMidi's JACK output frees its ring before it closes its client, while a process callback may
// still read it: the port closes first, and the client goes once every callback has seen that.
JackPeer::~JackPeer() {
    in_.reset();
    out_->closePort();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    out_.reset();
}

void JackPeer::callback(double, std::vector<unsigned char>* message, void* self) {
    auto& peer = *static_cast<JackPeer*>(self);
    const bool identityRequest = std::equal(message->begin(), message->end(), kIdentityRequest.begin(), kIdentityRequest.end());
    if (identityRequest && peer.answerIdentity_) {
        const auto reply = makeIdentityReply(*peer.answerIdentity_);
        peer.out_->sendMessage(reply.data(), reply.size());
    }
    std::lock_guard lock(peer.mutex_);
    peer.heard_.push_back(*message);
    peer.arrived_.notify_all();
}

std::vector<std::vector<std::uint8_t>> JackPeer::heard() const {
    std::lock_guard lock(mutex_);
    return heard_;
}

bool JackPeer::waitForMessages(std::size_t count) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(20), [&] { return heard_.size() >= count; });
}

void JackPeer::send(const std::vector<std::uint8_t>& message) { out_->sendMessage(message.data(), message.size()); }

}  // namespace kaldo::midi::testing
