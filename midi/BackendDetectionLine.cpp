#include "BackendDetectionLine.h"

#include <chrono>

#include "SysExWaitLimit.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

namespace kaldo::midi {

BackendDetectionLine::BackendDetectionLine(std::shared_ptr<MidiBackend> backend)
    : backend_(std::move(backend)),
      outputs_(TMidiOut::deviceNames(*backend_)),
      inputs_(TMidiIn::deviceNames(*backend_)) {}

BackendDetectionLine::~BackendDetectionLine() {
    stopListening();
}

std::vector<std::string> BackendDetectionLine::outputs() {
    return outputs_;
}

std::vector<std::string> BackendDetectionLine::inputs() {
    return inputs_;
}

void BackendDetectionLine::listen(
    std::function<void(int input, std::span<const std::uint8_t> message)> heard) {
    stopListening();
    for (std::size_t i = 0; i < inputs_.size(); ++i) open_.push_back(std::make_unique<Input>());
    std::vector<std::thread> opening;
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
        opening.emplace_back([this, heard, i] {
            Input& input = *open_[i];
            auto opened =
                backend_->openInput(inputs_[i], [&input, heard, i](std::span<const std::uint8_t> bytes) {
                    if (bytes.empty())
                        return input.gathered.lost([](std::span<const std::uint8_t>, std::size_t) {});
                    input.gathered.receive(
                        bytes,
                        [&](std::span<const std::uint8_t> message) { heard(static_cast<int>(i), message); },
                        [](std::uint8_t, std::uint8_t, std::uint8_t) {},
                        [](std::span<const std::uint8_t>, std::size_t, std::uint8_t) {});
                });
            input.connection = std::move(opened.connection);
        });
    }
    for (std::thread& t : opening) t.join();
}

// Once a connection is gone its receiver is not called again: heard is not called once this returns.
void BackendDetectionLine::stopListening() {
    for (std::thread& t : closing_) t.join();
    closing_.clear();
    open_.clear();
}

bool BackendDetectionLine::sendTo(int out, std::span<const std::uint8_t> message) {
    if (out < 0 || out >= static_cast<int>(outputs_.size())) return false;
    auto opened = backend_->openOutput(outputs_[static_cast<std::size_t>(out)]);
    if (!opened.connection) return false;
    const bool sent = opened.connection->sendSysEx(
        message, std::chrono::steady_clock::now() + sysExWaitLimit(message.size()));
    closing_.emplace_back([connection = std::move(opened.connection)]() mutable { connection.reset(); });
    return sent;
}

}  // namespace kaldo::midi
