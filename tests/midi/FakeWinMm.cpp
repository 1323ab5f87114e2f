#include "FakeWinMm.h"

#include <algorithm>
#include <chrono>

namespace kaldo::midi::testing {

namespace {

using winmm::Header;
using winmm::Result;

// Set while the fake is inside a program's callback, on the thread making it.
thread_local bool inCallback = false;

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;

std::uint32_t packed(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t message = 0;
    for (std::size_t i = 0; i < bytes.size() && i < 3; ++i) message |= std::uint32_t{bytes[i]} << (8 * i);
    return message;
}

}  // namespace

FakeWinMm::FakeWinMm() : driver_([this] { driverLoop(); }) {}

FakeWinMm::~FakeWinMm() {
    {
        std::lock_guard lock(mutex_);
        quitting_ = true;
    }
    changed_.notify_all();
    driver_.join();
}

winmm::Api FakeWinMm::api() {
    winmm::Api api;
    api.outGetNumDevs = [this] {
        std::lock_guard lock(mutex_);
        return static_cast<unsigned>(outputs.size());
    };
    api.outGetDevCaps = [this](unsigned device, std::u16string& name) {
        std::lock_guard lock(mutex_);
        if (device >= outputs.size()) return winmm::kBadDeviceId;
        name = outputs[device].substr(0, 31);  // szPname holds 31 characters and the terminator
        return winmm::kNoError;
    };
    api.outOpen = [this](winmm::Handle* handle, unsigned device, winmm::Callback callback,
                         std::uintptr_t instance) { return open(handle, true, device, callback, instance); };
    api.outClose = [this](winmm::Handle h) { return close(h, true); };
    api.outReset = [this](winmm::Handle h) { return reset(h, true); };
    api.outShortMsg = [this](winmm::Handle h, std::uint32_t message) { return shortMessage(h, message); };
    api.outPrepareHeader = [this](winmm::Handle h, Header* header) { return prepare(h, true, header); };
    api.outUnprepareHeader = [this](winmm::Handle h, Header* header) { return unprepare(h, true, header); };
    api.outLongMsg = [this](winmm::Handle h, Header* header) { return queue(h, true, header); };

    api.inGetNumDevs = [this] {
        std::lock_guard lock(mutex_);
        return static_cast<unsigned>(inputs.size());
    };
    api.inGetDevCaps = [this](unsigned device, std::u16string& name) {
        std::lock_guard lock(mutex_);
        if (device >= inputs.size()) return winmm::kBadDeviceId;
        name = inputs[device].substr(0, 31);
        return winmm::kNoError;
    };
    api.inOpen = [this](winmm::Handle* handle, unsigned device, winmm::Callback callback,
                        std::uintptr_t instance) { return open(handle, false, device, callback, instance); };
    api.inClose = [this](winmm::Handle h) { return close(h, false); };
    api.inStart = [this](winmm::Handle h) { return start(h); };
    api.inReset = [this](winmm::Handle h) { return reset(h, false); };
    api.inPrepareHeader = [this](winmm::Handle h, Header* header) { return prepare(h, false, header); };
    api.inUnprepareHeader = [this](winmm::Handle h, Header* header) { return unprepare(h, false, header); };
    api.inAddBuffer = [this](winmm::Handle h, Header* header) { return queue(h, false, header); };
    return api;
}

void FakeWinMm::stallOutput(bool stalled) {
    std::lock_guard lock(mutex_);
    stalled_ = stalled;
}

void FakeWinMm::answerLongMessages(Result result) {
    std::lock_guard lock(mutex_);
    longMessageAnswer_ = result;
}

std::vector<std::vector<std::uint8_t>> FakeWinMm::sentBuffers(unsigned device) const {
    std::lock_guard lock(mutex_);
    const auto it = sentBuffers_.find(device);
    return it == sentBuffers_.end() ? std::vector<std::vector<std::uint8_t>>{} : it->second;
}

std::vector<std::uint32_t> FakeWinMm::sentShortMessages(unsigned device) const {
    std::lock_guard lock(mutex_);
    const auto it = sentShort_.find(device);
    return it == sentShort_.end() ? std::vector<std::uint32_t>{} : it->second;
}

int FakeWinMm::resets(unsigned device) const {
    std::lock_guard lock(mutex_);
    int count = 0;
    for (const auto& p : ports_) {
        if (p->output && p->device == device) count += p->resets;
    }
    return count;
}

std::vector<std::string> FakeWinMm::violations() const {
    std::lock_guard lock(mutex_);
    return violations_;
}

int FakeWinMm::openHandles() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(
        std::count_if(ports_.begin(), ports_.end(), [](const auto& p) { return p->open; }));
}

int FakeWinMm::preparedHeaders() const {
    std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& p : ports_) count += p->prepared.size();
    return static_cast<int>(count);
}

FakeWinMm::Port* FakeWinMm::port(winmm::Handle handle, bool output) {
    for (const auto& p : ports_) {
        if (p.get() == handle) return p->open && p->output == output ? p.get() : nullptr;
    }
    return nullptr;
}

FakeWinMm::Port* FakeWinMm::openInput(unsigned device) const {
    for (const auto& p : ports_) {
        if (!p->output && p->open && p->device == device) return p.get();
    }
    return nullptr;
}

void FakeWinMm::noteRuleCall(const char* call) {
    if (inCallback) violations_.push_back(std::string(call) + " inside the callback");
}

Result FakeWinMm::open(winmm::Handle* handle, bool output, unsigned device, winmm::Callback callback,
                       std::uintptr_t instance) {
    std::unique_lock lock(mutex_);
    noteRuleCall("open");
    if (device >= (output ? outputs : inputs).size()) return winmm::kBadDeviceId;
    if (refusing.count(device)) return winmm::kAllocated;
    auto port = std::make_unique<Port>();
    port->output = output;
    port->device = device;
    port->callback = callback;
    port->instance = instance;
    *handle = port.get();
    Port& opened = *port;
    ports_.push_back(std::move(port));
    notify(opened, output ? winmm::kOutOpen : winmm::kInOpen, 0);
    return winmm::kNoError;
}

Result FakeWinMm::close(winmm::Handle handle, bool output) {
    Result result = winmm::kNoError;
    onDriver([&] {
        noteRuleCall("close");
        Port* p = port(handle, output);
        if (!p) {
            result = winmm::kInvalidHandle;
        } else if (!p->queue.empty()) {
            // winmm refuses to close while a buffer is with the driver.
            result = winmm::kStillPlaying;
            violations_.push_back(std::string(output ? "midiOutClose" : "midiInClose") +
                                  " with a buffer still queued");
        } else {
            p->open = false;
            notify(*p, output ? winmm::kOutClose : winmm::kInClose, 0);
        }
    });
    return result;
}

Result FakeWinMm::prepare(winmm::Handle handle, bool output, Header* header) {
    std::lock_guard lock(mutex_);
    noteRuleCall("prepare");
    Port* p = port(handle, output);
    if (!p) return winmm::kInvalidHandle;
    header->dwFlags |= winmm::kPrepared;
    p->prepared.insert(header);
    return winmm::kNoError;
}

Result FakeWinMm::unprepare(winmm::Handle handle, bool output, Header* header) {
    std::lock_guard lock(mutex_);
    noteRuleCall("unprepare");
    Port* p = port(handle, output);
    if (!p) return winmm::kInvalidHandle;
    if (header->dwFlags & winmm::kInQueue) return winmm::kStillPlaying;
    header->dwFlags &= ~winmm::kPrepared;
    p->prepared.erase(header);
    return winmm::kNoError;
}

// midiOutLongMsg and midiInAddBuffer.
Result FakeWinMm::queue(winmm::Handle handle, bool output, Header* header) {
    std::lock_guard lock(mutex_);
    if (!output) noteRuleCall("midiInAddBuffer");
    Port* p = port(handle, output);
    if (!p) return winmm::kInvalidHandle;
    if (!(header->dwFlags & winmm::kPrepared)) return winmm::kUnprepared;
    if (header->dwFlags & winmm::kInQueue) return winmm::kStillPlaying;
    if (output && longMessageAnswer_ != winmm::kNoError) return longMessageAnswer_;
    header->dwFlags = (header->dwFlags & ~winmm::kDone) | winmm::kInQueue;
    if (!output) header->dwBytesRecorded = 0;
    p->queue.push_back(header);
    if (output && !stalled_) {
        jobs_.push_back([this, p] { play(*p); });
        ++jobsQueued_;
    }
    changed_.notify_all();
    return winmm::kNoError;
}

Result FakeWinMm::reset(winmm::Handle handle, bool output) {
    Result result = winmm::kNoError;
    onDriver([&] {
        noteRuleCall("reset");
        Port* p = port(handle, output);
        if (!p) {
            result = winmm::kInvalidHandle;
            return;
        }
        ++p->resets;
        p->started = false;
        p->inSysEx = false;
        // Every buffer comes back marked done, the input's with what they hold so far.
        for (std::size_t queued = p->queue.size(); queued > 0 && !p->queue.empty(); --queued) {
            handBack(*p, output ? winmm::kOutDone : winmm::kInLongData);
        }
    });
    return result;
}

Result FakeWinMm::start(winmm::Handle handle) {
    Result result = winmm::kNoError;
    onDriver([&] {
        noteRuleCall("midiInStart");
        Port* p = port(handle, false);
        if (!p) {
            result = winmm::kInvalidHandle;
            return;
        }
        p->started = true;
        const auto waiting = atStart_.find(p->device);
        if (waiting == atStart_.end()) return;
        const std::vector<std::uint8_t> bytes = waiting->second;
        atStart_.erase(waiting);
        std::size_t lost = 0;
        fill(*p, bytes, lost);
    });
    return result;
}

Result FakeWinMm::shortMessage(winmm::Handle handle, std::uint32_t message) {
    std::lock_guard lock(mutex_);
    Port* p = port(handle, true);
    if (!p) return winmm::kInvalidHandle;
    if (!p->queue.empty()) return winmm::kNotReady;  // a block is still being played
    sentShort_[p->device].push_back(message);
    return winmm::kNoError;
}

std::size_t FakeWinMm::arrive(unsigned device, std::vector<std::uint8_t> bytes) {
    std::size_t lost = 0;
    onDriver([&] {
        Port* p = openInput(device);
        if (!p || !p->started) {
            lost = bytes.size();
            return;
        }
        fill(*p, bytes, lost);
    });
    return lost;
}

void FakeWinMm::arriveAtStart(unsigned device, std::vector<std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    atStart_[device] = std::move(bytes);
}

std::size_t FakeWinMm::queuedBuffers(unsigned device) const {
    std::lock_guard lock(mutex_);
    const Port* p = openInput(device);
    return p ? p->queue.size() : 0;
}

bool FakeWinMm::waitForQueuedBuffers(unsigned device, std::size_t count) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), [&] {
        const Port* p = openInput(device);
        return p && p->queue.size() == count;
    });
}

void FakeWinMm::play(Port& port) {
    if (!port.open || port.queue.empty() || stalled_) return;
    const Header& header = *port.queue.front();
    const auto* data = reinterpret_cast<const std::uint8_t*>(header.lpData);
    sentBuffers_[port.device].emplace_back(data, data + header.dwBufferLength);
    handBack(port, winmm::kOutDone);
}

// A driver's input: System Exclusive bytes fill the first queued buffer, which goes back when it is
// full or when the message ends; a status byte in the middle of a message cuts it off (the buffer
// goes back as an error); short messages come one to a notification.
void FakeWinMm::fill(Port& port, const std::vector<std::uint8_t>& bytes, std::size_t& lost) {
    if (bytes.empty()) return;
    const std::uint8_t first = bytes[0];
    if (first >= 0x80 && first != kSysExStart && first != kSysExEnd) {
        if (port.inSysEx && first < 0xF8) {  // real-time bytes may come in the middle, others end it
            port.inSysEx = false;
            if (!port.queue.empty() && port.queue.front()->dwBytesRecorded > 0)
                handBack(port, winmm::kInLongError);
        }
        notify(port, winmm::kInData, packed(bytes));
        return;
    }
    for (const std::uint8_t b : bytes) {
        if (b == kSysExStart) port.inSysEx = true;
        if (port.queue.empty()) {
            ++lost;
        } else {
            Header& header = *port.queue.front();
            header.lpData[header.dwBytesRecorded++] = static_cast<char>(b);
            if (b == kSysExEnd || header.dwBytesRecorded == header.dwBufferLength)
                handBack(port, winmm::kInLongData);
        }
        if (b == kSysExEnd) port.inSysEx = false;
    }
}

void FakeWinMm::handBack(Port& port, unsigned message) {
    Header* header = port.queue.front();
    port.queue.pop_front();
    header->dwFlags = (header->dwFlags & ~winmm::kInQueue) | winmm::kDone;
    changed_.notify_all();
    notify(port, message, reinterpret_cast<std::uintptr_t>(header));
}

// The lock is let go for the callback: the program may call back into winmm from there.
void FakeWinMm::notify(Port& port, unsigned message, std::uintptr_t first) {
    const winmm::Callback callback = port.callback;
    const std::uintptr_t instance = port.instance;
    mutex_.unlock();
    inCallback = true;
    callback(&port, message, instance, first, 0);
    inCallback = false;
    mutex_.lock();
}

void FakeWinMm::onDriver(std::function<void()> job) {
    std::unique_lock lock(mutex_);
    if (inCallback) {
        // Called from a callback, against the rules: done at once, so that the test fails instead of
        // waiting for the driver thread it is on.
        job();
        return;
    }
    jobs_.push_back(std::move(job));
    const std::uint64_t ticket = ++jobsQueued_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return jobsDone_ >= ticket; });
}

void FakeWinMm::driverLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quitting_ || !jobs_.empty(); });
        if (jobs_.empty()) return;
        auto job = std::move(jobs_.front());
        jobs_.pop_front();
        job();
        ++jobsDone_;
        changed_.notify_all();
    }
}

}  // namespace kaldo::midi::testing
