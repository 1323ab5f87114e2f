#include "InProcessAmp.h"

#include <utility>

namespace kaldo::sim {

InProcessAmp::InProcessAmp(VirtualClock& clock, PackedVersion revision, FaultPlan plan)
    : clock_(clock), model_(revision, std::move(plan)) {}

void InProcessAmp::setReplySink(ReplySink sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

bool InProcessAmp::outPortReady() const {
    std::lock_guard lock(mutex_);
    return outReady_ && !model_.vanished();
}

bool InProcessAmp::inPortReady() const {
    std::lock_guard lock(mutex_);
    return inReady_ && !model_.vanished();
}

bool InProcessAmp::sysEx(const std::uint8_t* data, std::size_t length) {
    std::vector<TimedReply> replies;
    {
        std::lock_guard lock(mutex_);
        if (!outReady_ || model_.vanished()) return false;
        replies = model_.receive(std::span(data, length));
    }
    for (auto& reply : replies) {
        if (reply.restart) continue;  // nothing to restart in the process: the link stays
        clock_.schedule(reply.delayMs, [this, bytes = std::move(reply.bytes)] { deliver(bytes); });
    }
    return true;
}

void InProcessAmp::deliver(const std::vector<std::uint8_t>& bytes) {
    ReplySink sink;
    {
        std::lock_guard lock(mutex_);
        if (!inReady_ || model_.vanished() || !sink_) return;
        deliveries_.push_back({clock_.nowMs(), bytes});
        sink = sink_;
    }
    // Outside the lock: the handler may well ask this link about its ports.
    sink(bytes);
}

void InProcessAmp::put2(std::uint8_t status, std::uint8_t first) {
    std::lock_guard lock(mutex_);
    if (outReady_ && !model_.vanished()) programChanges_.push_back({status, first});
}

void InProcessAmp::deSelectCurrentMidi() {
    std::lock_guard lock(mutex_);
    ++deSelectCalls_;
    outReady_ = inReady_ = false;
}

void InProcessAmp::populateMidiSelect() {
    std::lock_guard lock(mutex_);
    ++populateCalls_;
    outReady_ = inReady_ = false;
}

void InProcessAmp::reCheckForMidiDevices() {
    std::lock_guard lock(mutex_);
    ++reCheckCalls_;
    outReady_ = inReady_ = false;
}

int InProcessAmp::platformOutputCount() {
    std::lock_guard lock(mutex_);
    return model_.vanished() ? 0 : outputCount_;
}

void InProcessAmp::selectPorts(bool out, bool in) {
    std::lock_guard lock(mutex_);
    outReady_ = out;
    inReady_ = in;
}

void InProcessAmp::setPlatformOutputCount(int count) {
    std::lock_guard lock(mutex_);
    outputCount_ = count;
}

int InProcessAmp::deSelectCalls() const {
    std::lock_guard lock(mutex_);
    return deSelectCalls_;
}

int InProcessAmp::populateCalls() const {
    std::lock_guard lock(mutex_);
    return populateCalls_;
}

int InProcessAmp::reCheckCalls() const {
    std::lock_guard lock(mutex_);
    return reCheckCalls_;
}

std::vector<std::array<std::uint8_t, 2>> InProcessAmp::programChanges() const {
    std::lock_guard lock(mutex_);
    return programChanges_;
}

std::vector<InProcessAmp::Delivery> InProcessAmp::deliveries() const {
    std::lock_guard lock(mutex_);
    return deliveries_;
}

bool InProcessAmp::vanished() const {
    std::lock_guard lock(mutex_);
    return model_.vanished();
}

PackedVersion InProcessAmp::revision() const {
    std::lock_guard lock(mutex_);
    return model_.revision();
}

std::vector<std::vector<std::uint8_t>> InProcessAmp::received() const {
    std::lock_guard lock(mutex_);
    return model_.received();
}

std::vector<std::uint8_t> InProcessAmp::receivedImage() const {
    std::lock_guard lock(mutex_);
    return model_.receivedImage();
}

std::string InProcessAmp::transcript() const {
    std::lock_guard lock(mutex_);
    return model_.transcript();
}

}  // namespace kaldo::sim
