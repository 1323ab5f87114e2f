#pragma once
// Detection's view of a MIDI system (AmpDetection.h): its devices numbered as the "Out" and "In" menus
// number them, every input open at once through TMidiIn (which gathers what arrives into whole
// messages), and each output opened through TMidiOut only for its request.
#include <memory>
#include <vector>

#include "AmpDetection.h"
#include "MidiBackend.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

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
    std::shared_ptr<MidiBackend> backend_;
    TMidiOut out_;
    std::vector<std::unique_ptr<TMidiIn>> ins_;
};

}  // namespace kaldo::midi
