#pragma once
// Detection's view of a MIDI system (AmpDetection.h): its devices named and numbered as the "Out" and
// "In" menus number them, every input open at once (what arrives gathered into whole messages, as
// TMidiIn gathers it), and each output opened only for its request. Opens and closes wait for the
// system (on JACK a cycle or two each), so the inputs open side by side and an output closes while the
// answers to it come in.
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AmpDetection.h"
#include "MidiBackend.h"
#include "ReceiveBuffer.h"

namespace kaldo::midi {

class BackendDetectionLine : public DetectionLine {
public:
    explicit BackendDetectionLine(std::shared_ptr<MidiBackend> backend);
    ~BackendDetectionLine() override;

    std::vector<std::string> outputs() override;
    std::vector<std::string> inputs() override;
    void listen(std::function<void(int input, std::span<const std::uint8_t> message)> heard) override;
    void stopListening() override;
    bool sendTo(int out, std::span<const std::uint8_t> message) override;

private:
    struct Input {
        ReceiveBuffer gathered;  // on that input's thread only
        std::unique_ptr<MidiInConnection> connection;
    };

    std::shared_ptr<MidiBackend> backend_;
    std::vector<std::string> outputs_;
    std::vector<std::string> inputs_;
    std::vector<std::unique_ptr<Input>> open_;
    std::vector<std::thread> closing_;  // outputs closing in the background
};

}  // namespace kaldo::midi
