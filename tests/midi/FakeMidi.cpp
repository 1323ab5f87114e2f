#include "FakeMidi.h"

#include <algorithm>

namespace kaldo::midi::testing {

class FakeOut : public MidiOutConnection {
public:
    FakeOut(FakeMidi& midi, std::string device) : midi_(midi), device_(std::move(device)) {}
    ~FakeOut() override {
        midi_.asked();
        std::lock_guard lock(midi_.mutex_);
        auto& open = midi_.openOutputs_;
        open.erase(std::find(open.begin(), open.end(), device_));
    }
    bool sendShort(std::span<const std::uint8_t> message) override { return record(message, false); }
    bool sendSysEx(std::span<const std::uint8_t> block, std::chrono::steady_clock::time_point) override {
        {
            std::unique_lock lock(midi_.mutex_);
            midi_.waiting_ = midi_.held_;
            midi_.released_.wait(lock, [this] { return !midi_.held_; });
            midi_.waiting_ = false;
        }
        if (!record(block, true)) return false;
        // The device at the other end answers, as the sender's call returns.
        if (midi_.answer) midi_.answer(device_, std::vector<std::uint8_t>(block.begin(), block.end()));
        return true;
    }

private:
    bool record(std::span<const std::uint8_t> bytes, bool sysEx) {
        std::lock_guard lock(midi_.mutex_);
        if (midi_.sendsFail) return false;
        midi_.sent_.push_back({device_, {bytes.begin(), bytes.end()}, sysEx});
        return true;
    }
    FakeMidi& midi_;
    std::string device_;
};

class FakeIn : public MidiInConnection {
public:
    FakeIn(FakeMidi& midi, int id) : midi_(midi), id_(id) {}
    ~FakeIn() override {
        midi_.asked();
        std::lock_guard lock(midi_.mutex_);
        std::erase_if(midi_.openInputs_, [this](const FakeMidi::Input& in) { return in.id == id_; });
    }

private:
    FakeMidi& midi_;
    int id_;
};

void FakeMidi::asked() {
    std::unique_lock lock(mutex_);
    ++hungCalls_;
    released_.wait(lock, [this] { return !hung_; });
    --hungCalls_;
}

void FakeMidi::hang() {
    std::lock_guard lock(mutex_);
    hung_ = true;
}

void FakeMidi::answerAgain() {
    std::lock_guard lock(mutex_);
    hung_ = false;
    released_.notify_all();
}

int FakeMidi::hungCalls() const {
    std::lock_guard lock(mutex_);
    return hungCalls_;
}

std::vector<std::string> FakeMidi::outputNames() {
    asked();
    return outputs;
}

std::vector<std::string> FakeMidi::inputNames() {
    asked();
    return inputs;
}

Opened<MidiOutConnection> FakeMidi::openOutput(const std::string& device) {
    asked();
    std::lock_guard lock(mutex_);
    ++opens_;
    if (std::find(outputs.begin(), outputs.end(), device) == outputs.end()) return {nullptr, kResultBadDeviceId};
    if (refusing.count(device)) return {nullptr, kResultError};
    openOutputs_.push_back(device);
    return {std::make_unique<FakeOut>(*this, device), kResultOk};
}

Opened<MidiInConnection> FakeMidi::openInput(const std::string& device, MidiReceiver receiver) {
    asked();
    std::lock_guard lock(mutex_);
    ++opens_;
    if (std::find(inputs.begin(), inputs.end(), device) == inputs.end()) return {nullptr, kResultBadDeviceId};
    if (refusing.count(device)) return {nullptr, kResultError};
    const int id = nextId_++;
    openInputs_.push_back({device, std::move(receiver), id});
    return {std::make_unique<FakeIn>(*this, id), kResultOk};
}

class FakeWatch : public DeviceWatch {
public:
    explicit FakeWatch(FakeMidi& midi) : midi_(midi) {}
    ~FakeWatch() override {
        midi_.asked();
        std::lock_guard lock(midi_.mutex_);
        midi_.watcher_ = nullptr;
    }

private:
    FakeMidi& midi_;
};

std::unique_ptr<DeviceWatch> FakeMidi::watchDevices(std::function<void()> changed) {
    asked();
    std::lock_guard lock(mutex_);
    watcher_ = std::move(changed);
    return std::make_unique<FakeWatch>(*this);
}

void FakeMidi::announce() {
    std::function<void()> watcher;
    {
        std::lock_guard lock(mutex_);
        watcher = watcher_;
    }
    if (watcher) watcher();
}

bool FakeMidi::watched() const {
    std::lock_guard lock(mutex_);
    return static_cast<bool>(watcher_);
}

int FakeMidi::opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
}

void FakeMidi::holdSysEx() {
    std::lock_guard lock(mutex_);
    held_ = true;
}

void FakeMidi::release() {
    std::lock_guard lock(mutex_);
    held_ = false;
    released_.notify_all();
}

bool FakeMidi::sysExWaiting() const {
    std::lock_guard lock(mutex_);
    return waiting_;
}

std::vector<FakeMidi::Sent> FakeMidi::sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

std::vector<std::string> FakeMidi::openOutputs() const {
    std::lock_guard lock(mutex_);
    return openOutputs_;
}

std::vector<std::string> FakeMidi::openInputs() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const auto& in : openInputs_) names.push_back(in.device);
    return names;
}

// Like a real system's MIDI thread, the receiver runs outside the lock that opening and closing take:
// keeping deliveries and closes apart is TMidiIn's own business.
bool FakeMidi::inject(const std::string& device, std::vector<std::uint8_t> bytes) {
    MidiReceiver receiver;
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(openInputs_.begin(), openInputs_.end(), [&](const Input& in) { return in.device == device; });
        if (it == openInputs_.end()) return false;
        receiver = it->receiver;
    }
    receiver(bytes);
    return true;
}

}  // namespace kaldo::midi::testing
