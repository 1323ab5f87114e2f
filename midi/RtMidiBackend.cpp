#include "RtMidiBackend.h"

#include <algorithm>
#include <atomic>
#include <optional>

#include "AlsaDeviceWatch.h"
#include "AlsaPortList.h"
#include "AlsaSequencerInput.h"
#include "AlsaSequencerOutput.h"
#include "JackCycles.h"
#include "JackDeviceWatch.h"
#include "SendPacing.h"
#ifdef __APPLE__
#include "CoreMidiDeviceWatch.h"
#endif
#include "SysExPieces.h"
#include "SysExWaitLimit.h"
#include "SystemAlsaCalls.h"

namespace kaldo::midi {

namespace {

// Without an error callback RtMidi throws or prints. With one, any report during a call means the
// call failed: a warning during a send is a lost send.
struct ErrorFlag {
    std::atomic<bool> raised{false};

    static void callback(RtMidiError::Type, const std::string&, void* self) {
        static_cast<ErrorFlag*>(self)->raised = true;
    }
    // Clears the flag and says whether it was raised.
    bool take() { return raised.exchange(false); }
};

bool isOwnPort(const std::string& name, const std::string& clientName) { return name.rfind(clientName, 0) == 0; }

bool deviceListed(const std::vector<std::string>& names, const std::string& device) {
    return std::find(names.begin(), names.end(), device) != names.end();
}

template <class Port>
std::vector<std::string> portNames(Port& port, const std::string& clientName) {
    std::vector<std::string> names;
    const unsigned count = port.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
        std::string name = port.getPortName(i);
        if (!name.empty() && !isOwnPort(name, clientName)) names.push_back(std::move(name));
    }
    return names;
}

template <class Port>
std::optional<unsigned> portNumber(Port& port, const std::string& device) {
    const unsigned count = port.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
        if (port.getPortName(i) == device) return i;
    }
    return std::nullopt;
}

// Opens our port ourPort connected to the device's port. RtMidi opens by number, and on JACK the
// numbers move whenever any program's port comes or goes, so the number is looked up again once the
// port is open: when it moved in between, the open may have reached another program's port, and it is
// tried again. Bad device id when the device is not there (any more).
template <class Port>
std::uint32_t openNamed(Port& port, const std::string& device, const char* ourPort) {
    constexpr int kAttempts = 5;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const auto number = portNumber(port, device);
        if (!number) return kResultBadDeviceId;
        port.openPort(*number, ourPort);
        if (!port.isPortOpen()) return kResultError;
        if (portNumber(port, device) == number) return kResultOk;
        port.closePort();
    }
    return kResultError;
}

// RtMidi's JACK output (5.0.0) puts each message into a ring of 16,384 bytes, a 4-byte length before
// it, that its process callback empties into the port once a cycle. A message that cannot fit in the
// ring is dropped without a word, and while the ring lacks room sendMessage spins without any limit:
// a stalled or vanished server would hang the sender. So a block leaves in pieces, and a piece is
// only written into an empty ring: one piece per cycle, each small enough for the ring and for the
// port buffer (which must hold the piece with its event header, else JACK drops it too).
std::size_t jackPieceSize(std::size_t midiBufferSize) {
    constexpr std::size_t kLargest = 16000;
    return std::min(kLargest, midiBufferSize / 2);
}

// A physical port (a hardware interface through JACK's own drivers) drains at the wire's rate, not
// a cycle's: there pieces are a third of what may be ahead of the wire, so that the next one goes
// while the wire still has the two before it.
constexpr std::size_t kWirePiece = SendPacing::kWireAhead / 3;

// A new JACK connection takes part in the graph from a later cycle on; what is sent before then is
// lost. An open returns once it carries data.
constexpr std::chrono::seconds kConnectionLimit{2};

void waitUntilConnected(const JackCycles& cycles) {
    cycles.waitForDrain(std::chrono::steady_clock::now() + kConnectionLimit);
}

class RtMidiOutConnection : public MidiOutConnection {
public:
    // wire: the destination is a physical JACK port, paced at the wire's rate.
    RtMidiOutConnection(std::unique_ptr<RtMidiOut> port, std::unique_ptr<ErrorFlag> error,
                        std::unique_ptr<JackCycles> cycles, bool wire)
        : error_(std::move(error)), cycles_(std::move(cycles)), port_(std::move(port)) {
        if (wire) wire_.emplace();
    }

    // RtMidi's close waits for its ring to empty, so what was sent still leaves. Its JACK client
    // then frees the ring before closing the client, while a process callback that began before the
    // close may still be reading it; after a whole cycle every callback sees the port closed.
    ~RtMidiOutConnection() override {
        port_->closePort();
        if (cycles_) cycles_->waitForDrain(std::chrono::steady_clock::now() + kConnectionLimit);
    }

    bool sendShort(std::span<const std::uint8_t> message) override {
        error_->take();
        if (!waitForWire(message.size(), std::chrono::steady_clock::now() + sysExWaitLimit(message.size()))) {
            return false;
        }
        port_->sendMessage(message.data(), message.size());
        wrote(message.size());
        ringUsed_ = true;
        return !error_->take();
    }

    bool sendSysEx(std::span<const std::uint8_t> block, std::chrono::steady_clock::time_point deadline) override {
        error_->take();
        if (!cycles_) {
            // WinMM and CoreMIDI take a whole block and return once the system has it.
            port_->sendMessage(block.data(), block.size());
            return !error_->take();
        }
        // JACK: one piece per drained ring (see jackPieceSize); the receiving RtMidi joins the pieces
        // again. The drain after the last piece means the block has left our client, and toward a
        // physical port the wire's estimate running dry means it has left the interface too.
        if (ringUsed_ && !cycles_->waitForDrain(deadline)) return false;
        ringUsed_ = false;
        const std::size_t ringPiece = jackPieceSize(cycles_->midiBufferSize());
        for (const auto piece : sysExPieces(block, wire_ ? std::min(kWirePiece, ringPiece) : ringPiece)) {
            if (!waitForWire(piece.size(), deadline)) return false;
            port_->sendMessage(piece.data(), piece.size());
            wrote(piece.size());
            if (error_->take() || !cycles_->waitForDrain(deadline)) return false;
        }
        return wireDrained(deadline);
    }

private:
    // Toward a physical port: waits, in the server's time, until the wire has room for `bytes`.
    bool waitForWire(std::size_t bytes, std::chrono::steady_clock::time_point deadline) {
        if (!wire_) return true;
        const auto now = cycles_->cycleTime();
        return cycles_->waitForCycleTime(now + wire_->delayBefore(bytes, std::nullopt, now), deadline);
    }
    void wrote(std::size_t bytes) {
        if (wire_) wire_->wrote(bytes, cycles_->cycleTime());
    }
    bool wireDrained(std::chrono::steady_clock::time_point deadline) {
        if (!wire_) return true;
        const auto now = cycles_->cycleTime();
        return cycles_->waitForCycleTime(now + wire_->delayUntilDrained(std::nullopt, now), deadline);
    }

    // Short messages may still wait in the ring: drain it before a piece that needs all of it.
    bool ringUsed_ = false;
    std::optional<SendPacing> wire_;
    std::unique_ptr<ErrorFlag> error_;
    std::unique_ptr<JackCycles> cycles_;
    std::unique_ptr<RtMidiOut> port_;  // last: goes first, before the flag its callback sets
};

class RtMidiInConnection : public MidiInConnection {
public:
    explicit RtMidiInConnection(MidiReceiver receiver) : receiver_(std::move(receiver)) {}

    // Destroying the RtMidiIn closes its client, which waits for its callback thread to stop.
    ~RtMidiInConnection() override {
        if (port_) port_->closePort();
    }

    std::uint32_t open(RtMidi::Api api, const std::string& clientName, const std::string& device) {
        port_ = std::make_unique<RtMidiIn>(api, clientName);
        port_->setErrorCallback(&ErrorFlag::callback, &error_);
        // RtMidi drops SysEx input unless told otherwise; timing and active sensing stay out.
        port_->ignoreTypes(false, true, true);
        // The receive buffers of the input port, 16 of 16,000 bytes: only WinMM needs telling, and
        // only before the open.
        port_->setBufferSize(16000, 16);
        // The callback goes in before the open so nothing waits in RtMidi's queue.
        port_->setCallback(&RtMidiInConnection::callback, this);
        const std::uint32_t result = openNamed(*port_, device, "in");
        if (result != kResultOk) return result;
        if (error_.take()) return kResultError;
        if (api == RtMidi::UNIX_JACK) {
            const auto cycles = JackCycles::open();
            if (!cycles) return kResultError;
            waitUntilConnected(*cycles);
        }
        return kResultOk;
    }

private:
    static void callback(double, std::vector<unsigned char>* message, void* self) {
        if (message && !message->empty()) static_cast<RtMidiInConnection*>(self)->receiver_(*message);
    }

    ErrorFlag error_;
    MidiReceiver receiver_;
    std::unique_ptr<RtMidiIn> port_;  // last: goes first, before what its callback uses
};

}  // namespace

RtMidiBackend::RtMidiBackend(RtMidi::Api api, std::string clientName) : api_(api), clientName_(std::move(clientName)) {
    if (api_ == RtMidi::LINUX_ALSA) alsaPorts_ = std::make_unique<AlsaPortList>(clientName_);
}

RtMidiBackend::~RtMidiBackend() = default;

std::vector<std::string> RtMidiBackend::outputNames() {
    if (alsaPorts_) return alsaPorts_->outputs();
    try {
        ErrorFlag error;
        RtMidiOut port(api_, clientName_);
        port.setErrorCallback(&ErrorFlag::callback, &error);
        return portNames(port, clientName_);
    } catch (const RtMidiError&) {
        return {};
    }
}

std::vector<std::string> RtMidiBackend::inputNames() {
    if (alsaPorts_) return alsaPorts_->inputs();
    try {
        ErrorFlag error;
        RtMidiIn port(api_, clientName_);
        port.setErrorCallback(&ErrorFlag::callback, &error);
        return portNames(port, clientName_);
    } catch (const RtMidiError&) {
        return {};
    }
}

Opened<MidiOutConnection> RtMidiBackend::openOutput(const std::string& device) {
    // Everything we send on the ALSA sequencer goes through a client of our own.
    if (alsaPorts_) {
        if (!deviceListed(alsaPorts_->outputs(), device)) return {nullptr, kResultBadDeviceId};
        return AlsaSequencerOutput::open(systemAlsaCalls(), clientName_, device);
    }
    try {
        auto error = std::make_unique<ErrorFlag>();
        auto port = std::make_unique<RtMidiOut>(api_, clientName_);
        port->setErrorCallback(&ErrorFlag::callback, error.get());
        std::unique_ptr<JackCycles> cycles;
        if (api_ == RtMidi::UNIX_JACK) {
            cycles = JackCycles::open();
            if (!cycles) return {nullptr, kResultError};
        }
        if (!portNumber(*port, device)) return {nullptr, kResultBadDeviceId};
        const std::uint32_t result = openNamed(*port, device, "out");
        if (result != kResultOk) return {nullptr, result};
        if (error->take()) return {nullptr, kResultError};
        const bool wire = cycles && cycles->isPhysical(device);
        if (cycles) waitUntilConnected(*cycles);
        return {std::make_unique<RtMidiOutConnection>(std::move(port), std::move(error), std::move(cycles), wire),
                kResultOk};
    } catch (const RtMidiError&) {
        return {nullptr, kResultError};
    }
}

Opened<MidiInConnection> RtMidiBackend::openInput(const std::string& device, MidiReceiver receiver) {
    // Everything we receive on the ALSA sequencer comes through a client of our own.
    if (alsaPorts_) {
        if (!deviceListed(alsaPorts_->inputs(), device)) return {nullptr, kResultBadDeviceId};
        return AlsaSequencerInput::open(systemAlsaCalls(), clientName_, device, std::move(receiver));
    }
    try {
        auto connection = std::make_unique<RtMidiInConnection>(std::move(receiver));
        const std::uint32_t result = connection->open(api_, clientName_, device);
        if (result != kResultOk) return {nullptr, result};
        return {std::move(connection), kResultOk};
    } catch (const RtMidiError&) {
        return {nullptr, kResultError};
    }
}

std::string RtMidiBackend::systemName() const { return apiName(api_); }

std::string apiName(RtMidi::Api api) {
    switch (api) {
        case RtMidi::LINUX_ALSA: return "ALSA";
        case RtMidi::UNIX_JACK: return "JACK";
        case RtMidi::MACOSX_CORE: return "CoreMIDI";
        case RtMidi::WINDOWS_MM: return "WinMM";
        case RtMidi::RTMIDI_DUMMY: return "none";
        default: return "the platform's own";
    }
}

std::unique_ptr<DeviceWatch> RtMidiBackend::watchDevices(std::function<void()> changed) {
    switch (api_) {
        case RtMidi::UNIX_JACK: return JackDeviceWatch::open(clientName_, std::move(changed));
        case RtMidi::LINUX_ALSA: return AlsaDeviceWatch::open(clientName_, std::move(changed));
#ifdef __APPLE__
        case RtMidi::MACOSX_CORE: return watchCoreMidiDevices(std::move(changed));
#endif
        default: return nullptr;
    }
}

}  // namespace kaldo::midi
