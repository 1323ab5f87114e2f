#include "BoundedMidi.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace kaldo::midi {

namespace {

// Calls to a receiver that can be shut off: once closed nothing reaches it, and closing waits for a
// call in progress. What a system hands on after our side has let go of it ends here.
template <class... Args>
class Gate {
public:
    explicit Gate(std::function<void(Args...)> to) : to_(std::move(to)) {}
    void operator()(Args... args) {
        std::lock_guard lock(mutex_);
        if (open_ && to_) to_(args...);
    }
    void close() {
        std::lock_guard lock(mutex_);
        open_ = false;
    }

private:
    std::mutex mutex_;
    bool open_ = true;
    std::function<void(Args...)> to_;
};

using ReceiveGate = Gate<std::span<const std::uint8_t>>;
using ChangeGate = Gate<>;

}  // namespace

class BoundedMidi::Asker : public std::enable_shared_from_this<Asker> {
public:
    Asker(std::shared_ptr<MidiBackend> system, std::chrono::milliseconds limit)
        : system_(std::move(system)), limit_(limit) {}

    std::string silentSystem() const {
        std::lock_guard lock(mutex_);
        return silent_;
    }

    const MidiBackend& system() const { return *system_; }

    void setOnAnswering(std::function<void()> told) {
        std::lock_guard lock(tellMutex_);
        onAnswering_ = std::move(told);
    }

    // Runs call on a thread of its own and waits for it at most the limit. None when the system is
    // silent (nothing is asked) or has just become so.
    template <class Result>
    std::optional<Result> ask(std::function<Result(MidiBackend&)> call) {
        if (!silentSystem().empty()) return std::nullopt;
        struct Call {
            std::mutex mutex;
            std::condition_variable done;
            std::optional<Result> result;
            bool abandoned = false;
        };
        auto c = std::make_shared<Call>();
        std::thread worker([self = shared_from_this(), c, call = std::move(call)] {
            std::optional<Result> result(call(*self->system_));
            {
                std::lock_guard lock(c->mutex);
                if (!c->abandoned) {
                    c->result = std::move(result);
                    c->done.notify_all();
                    return;
                }
            }
            result.reset();  // what the late call opened is closed here, still off the caller's thread
            self->answered();
        });
        std::unique_lock lock(c->mutex);
        if (c->done.wait_for(lock, limit_, [&] { return c->result.has_value(); })) {
            std::optional<Result> result = std::move(c->result);
            lock.unlock();
            worker.join();
            return result;
        }
        {
            // Silent before the worker can see that it was given up, so that its return ends the silence.
            std::lock_guard state(mutex_);
            silent_ = system_->systemName();
        }
        c->abandoned = true;
        lock.unlock();
        worker.detach();
        return std::nullopt;
    }

    // Closes what was opened off the caller's thread: waited for within the limit while the system
    // answers, left to its thread at once while it is silent.
    void dispose(std::shared_ptr<void> thing) {
        if (!thing) return;
        if (!silentSystem().empty()) {
            std::thread([thing = std::move(thing)]() mutable { thing.reset(); }).detach();
            return;
        }
        ask<bool>([thing = std::move(thing)](MidiBackend&) mutable {
            thing.reset();
            return true;
        });
    }

private:
    // The late call has returned: the system answers again.
    void answered() {
        {
            std::lock_guard lock(mutex_);
            silent_.clear();
        }
        std::lock_guard lock(tellMutex_);
        if (onAnswering_) onAnswering_();
    }

    std::shared_ptr<MidiBackend> system_;
    std::chrono::milliseconds limit_;
    mutable std::mutex mutex_;
    std::string silent_;  // set while a call is out that did not return in time
    std::mutex tellMutex_;
    std::function<void()> onAnswering_;
};

namespace {

class BoundedOutConnection : public MidiOutConnection {
public:
    BoundedOutConnection(std::shared_ptr<BoundedMidi::Asker> asker, std::unique_ptr<MidiOutConnection> inner)
        : asker_(std::move(asker)), inner_(std::move(inner)) {}
    ~BoundedOutConnection() override { asker_->dispose(std::shared_ptr<MidiOutConnection>(std::move(inner_))); }

    bool sendShort(std::span<const std::uint8_t> message) override { return inner_->sendShort(message); }
    bool sendSysEx(std::span<const std::uint8_t> block, std::chrono::steady_clock::time_point deadline) override {
        return inner_->sendSysEx(block, deadline);
    }

private:
    std::shared_ptr<BoundedMidi::Asker> asker_;
    std::unique_ptr<MidiOutConnection> inner_;
};

// An input or a watch: the system calls back through the gate, which closes first, so that nothing
// reaches our side once it has let go, whenever the system gets round to closing the port or watch.
template <class Base, class CallGate>
class Gated : public Base {
public:
    Gated(std::shared_ptr<BoundedMidi::Asker> asker, std::shared_ptr<CallGate> gate, std::unique_ptr<Base> inner)
        : asker_(std::move(asker)), gate_(std::move(gate)), inner_(std::move(inner)) {}
    ~Gated() override {
        gate_->close();
        asker_->dispose(std::shared_ptr<Base>(std::move(inner_)));
    }

private:
    std::shared_ptr<BoundedMidi::Asker> asker_;
    std::shared_ptr<CallGate> gate_;
    std::unique_ptr<Base> inner_;
};

using BoundedInConnection = Gated<MidiInConnection, ReceiveGate>;
using BoundedWatch = Gated<DeviceWatch, ChangeGate>;

}  // namespace

BoundedMidi::BoundedMidi(std::shared_ptr<MidiBackend> system, std::chrono::milliseconds limit)
    : asker_(std::make_shared<Asker>(std::move(system), limit)), limit_(limit) {}

// A late call may still tell: not any more.
BoundedMidi::~BoundedMidi() { asker_->setOnAnswering({}); }

std::vector<std::string> BoundedMidi::outputNames() {
    auto names = asker_->ask<std::vector<std::string>>([](MidiBackend& system) { return system.outputNames(); });
    return names ? std::move(*names) : std::vector<std::string>{};
}

std::vector<std::string> BoundedMidi::inputNames() {
    auto names = asker_->ask<std::vector<std::string>>([](MidiBackend& system) { return system.inputNames(); });
    return names ? std::move(*names) : std::vector<std::string>{};
}

Opened<MidiOutConnection> BoundedMidi::openOutput(const std::string& device) {
    auto opened = asker_->ask<Opened<MidiOutConnection>>(
        [device](MidiBackend& system) { return system.openOutput(device); });
    if (!opened) return {nullptr, kResultError};
    if (!opened->connection) return {nullptr, opened->result};
    return {std::make_unique<BoundedOutConnection>(asker_, std::move(opened->connection)), kResultOk};
}

Opened<MidiInConnection> BoundedMidi::openInput(const std::string& device, MidiReceiver receiver) {
    auto gate = std::make_shared<ReceiveGate>(std::move(receiver));
    auto opened = asker_->ask<Opened<MidiInConnection>>([device, gate](MidiBackend& system) {
        return system.openInput(device, [gate](std::span<const std::uint8_t> bytes) { (*gate)(bytes); });
    });
    if (!opened || !opened->connection) gate->close();
    if (!opened) return {nullptr, kResultError};
    if (!opened->connection) return {nullptr, opened->result};
    return {std::make_unique<BoundedInConnection>(asker_, gate, std::move(opened->connection)), kResultOk};
}

std::unique_ptr<DeviceWatch> BoundedMidi::watchDevices(std::function<void()> changed) {
    auto gate = std::make_shared<ChangeGate>(std::move(changed));
    auto watch = asker_->ask<std::unique_ptr<DeviceWatch>>(
        [gate](MidiBackend& system) { return system.watchDevices([gate] { (*gate)(); }); });
    if (!watch || !*watch) {
        gate->close();
        return nullptr;
    }
    return std::make_unique<BoundedWatch>(asker_, gate, std::move(*watch));
}

std::string BoundedMidi::systemName() const { return asker_->system().systemName(); }

std::string BoundedMidi::silentSystem() const { return asker_->silentSystem(); }

std::string BoundedMidi::silence() const {
    const std::string system = silentSystem();
    if (system.empty()) return {};
    const auto ms = limit_.count();
    std::string seconds = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        seconds += '.';
        seconds += std::to_string(ms % 1000 / 100);
    }
    return system + " did not answer within " + seconds + " s";
}

void BoundedMidi::setOnAnswering(std::function<void()> told) { asker_->setOnAnswering(std::move(told)); }

}  // namespace kaldo::midi
