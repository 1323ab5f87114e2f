#pragma once
// The MIDI system of Windows, the multimedia MIDI services (winmm), through a table of its calls
// (WinMm.h).
//
// Names: winmm gives each device a name of at most 31 characters, and two alike devices (two of the
// same USB interface) carry the same one. A repeated name gets " (2)", " (3)"... in device order, so
// every name in a list is one device and the same devices list the same way every time. Listing only
// asks for the device count and names: cheap enough to poll.
//
// Output: short messages with midiOutShortMsg; a System Exclusive block leaves in pieces of at most
// 16,000 bytes, each with a prepared header through midiOutLongMsg, and is waited for until the
// driver hands the header back (MOM_DONE) or the send's deadline passes; then midiOutReset takes the
// piece back and the send has failed.
//
// Input: 16 buffers of 16,000 bytes are with the driver before midiInStart, so nothing that comes at
// once is lost. The callback only queues what came; a helper thread of the connection hands it to the
// receiver and gives each buffer back to the driver (winmm forbids buffer calls inside the callback).
// A close stops the helper, takes every buffer back (midiInReset) and closes; after that no callback
// runs and the receiver is not called again.
#include <memory>

#include "MidiBackend.h"
#include "WinMm.h"

namespace kaldo::midi {

class WinMmBackend : public MidiBackend {
public:
    static constexpr std::size_t kPieceSize = 16000;
    static constexpr std::size_t kBufferCount = 16;
    static constexpr std::size_t kBufferSize = 16000;

    explicit WinMmBackend(winmm::Api api);

    std::vector<std::string> outputNames() override;
    std::vector<std::string> inputNames() override;
    Opened<MidiOutConnection> openOutput(const std::string& device) override;
    Opened<MidiInConnection> openInput(const std::string& device, MidiReceiver receiver) override;
    // winmm tells nobody when devices come or go: a poll of the names, once a second.
    std::unique_ptr<DeviceWatch> watchDevices(std::function<void()> changed) override;
    std::string systemName() const override { return "WinMM"; }

private:
    // Connections keep the table: it must outlive them.
    std::shared_ptr<const winmm::Api> api_;
};

}  // namespace kaldo::midi
