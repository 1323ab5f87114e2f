#include "BackendDetectionLine.h"

namespace kaldo::midi {

BackendDetectionLine::BackendDetectionLine(std::shared_ptr<MidiBackend> backend)
    : backend_(std::move(backend)), out_(backend_) {}

BackendDetectionLine::~BackendDetectionLine() {
    stopListening();
}

std::vector<std::string> BackendDetectionLine::outputs() {
    std::vector<std::string> names;
    for (int i = 0; i < out_.NumDevs(); ++i) names.push_back(out_.deviceName(i));
    return names;
}

std::vector<std::string> BackendDetectionLine::inputs() {
    const TMidiIn in(backend_);
    std::vector<std::string> names;
    for (int i = 0; i < in.NumDevs(); ++i) names.push_back(in.deviceName(i));
    return names;
}

void BackendDetectionLine::listen(
    std::function<void(int input, std::span<const std::uint8_t> message)> heard) {
    stopListening();
    const int count = TMidiIn(backend_).NumDevs();
    for (int i = 0; i < count; ++i) {
        auto in = std::make_unique<TMidiIn>(backend_);
        in->OnSysEx = [heard, i](TMidiIn&, const std::uint8_t* bytes, int size) {
            heard(i, std::span(bytes, static_cast<std::size_t>(size)));
        };
        in->SetPort(i);
        in->SetUsing(true);
        ins_.push_back(std::move(in));
    }
}

// Each close waits for a delivery in progress: heard is not called once this returns.
void BackendDetectionLine::stopListening() {
    for (auto& in : ins_) in->SetUsing(false);
    ins_.clear();
}

bool BackendDetectionLine::sendTo(int out, std::span<const std::uint8_t> message) {
    out_.SetPort(out);
    out_.SetUsing(true);
    const bool sent = out_.openResult() == kResultOk && out_.SysEx(message.data(), message.size());
    out_.SetUsing(false);
    return sent;
}

}  // namespace kaldo::midi
