#include "WinMmBackend.h"

#include <array>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "PollingDeviceWatch.h"
#include "SysExPieces.h"
#include "Utf8.h"

namespace kaldo::midi {

namespace {

using winmm::Api;
using winmm::Header;
using winmm::Result;

// After midiOutReset the driver hands back what it held at once; this is only the end of the wait
// for a driver that does not.
constexpr std::chrono::seconds kResetGrace{2};

using DevCaps = std::function<Result(unsigned, std::u16string&)>;

std::vector<std::string> deviceNames(unsigned count, const DevCaps& caps) {
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (unsigned device = 0; device < count; ++device) {
        std::u16string wide;
        // A device that vanished while being listed keeps its place, so the numbers stay right.
        const std::string base = caps(device, wide) == winmm::kNoError
                                     ? utf8FromUtf16(wide)
                                     : "MIDI device " + std::to_string(device);
        std::string name = base;
        for (int n = 2; taken.count(name); ++n) name = base + " (" + std::to_string(n) + ")";
        taken.insert(name);
        names.push_back(std::move(name));
    }
    return names;
}

std::optional<unsigned> deviceNumber(const std::vector<std::string>& names, const std::string& device) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == device) return static_cast<unsigned>(i);
    }
    return std::nullopt;
}

// The bytes a packed short message carries, by its status.
std::size_t shortMessageLength(std::uint8_t status) {
    if (status < 0xF0) return (status & 0xE0) == 0xC0 ? 2 : 3;  // program change, channel pressure: 2
    if (status == 0xF1 || status == 0xF3) return 2;
    if (status == 0xF2) return 3;
    return 1;
}

class WinMmOutConnection : public MidiOutConnection {
public:
    explicit WinMmOutConnection(std::shared_ptr<const Api> api) : api_(std::move(api)) {}

    // A block still with the driver keeps the close from succeeding: the reset hands it back.
    ~WinMmOutConnection() override {
        if (!open_) return;
        if (api_->outClose(handle_) == winmm::kStillPlaying) {
            api_->outReset(handle_);
            api_->outClose(handle_);
        }
    }

    Result open(unsigned device) {
        const Result result = api_->outOpen(&handle_, device, &WinMmOutConnection::callback,
                                            reinterpret_cast<std::uintptr_t>(this));
        open_ = result == winmm::kNoError;
        return result;
    }

    bool sendShort(std::span<const std::uint8_t> message) override {
        std::uint32_t packed = 0;
        for (std::size_t i = 0; i < message.size() && i < 3; ++i)
            packed |= std::uint32_t{message[i]} << (8 * i);
        return api_->outShortMsg(handle_, packed) == winmm::kNoError;
    }

    bool sendSysEx(std::span<const std::uint8_t> block,
                   std::chrono::steady_clock::time_point deadline) override {
        if (stuck_) return false;
        for (const auto piece : sysExPieces(block, WinMmBackend::kPieceSize)) {
            if (!sendPiece(piece, deadline)) return false;
        }
        return true;
    }

private:
    bool sendPiece(std::span<const std::uint8_t> piece, std::chrono::steady_clock::time_point deadline) {
        header_ = Header{};
        // winmm never writes to an output buffer; its header just has no const.
        header_.lpData = const_cast<char*>(reinterpret_cast<const char*>(piece.data()));
        header_.dwBufferLength = static_cast<std::uint32_t>(piece.size());
        header_.dwBytesRecorded = header_.dwBufferLength;
        {
            std::lock_guard lock(mutex_);
            done_ = false;
        }
        if (api_->outPrepareHeader(handle_, &header_) != winmm::kNoError) return false;
        if (api_->outLongMsg(handle_, &header_) != winmm::kNoError) {
            api_->outUnprepareHeader(handle_, &header_);
            return false;
        }
        const bool left = waitUntilDone(deadline);
        if (!left) {
            api_->outReset(handle_);
            waitUntilDone(std::chrono::steady_clock::now() + kResetGrace);
        }
        // Refused while the driver still holds the header: it must then never be reused.
        if (api_->outUnprepareHeader(handle_, &header_) != winmm::kNoError) stuck_ = true;
        return left && !stuck_;
    }

    bool waitUntilDone(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        return doneChanged_.wait_until(lock, deadline, [this] { return done_; });
    }

    static void KALDO_WINMM_CALLBACK callback(winmm::Handle, unsigned message, std::uintptr_t instance,
                                              std::uintptr_t, std::uintptr_t) {
        if (message != winmm::kOutDone) return;
        auto* self = reinterpret_cast<WinMmOutConnection*>(instance);
        {
            std::lock_guard lock(self->mutex_);
            self->done_ = true;
        }
        self->doneChanged_.notify_all();
    }

    std::shared_ptr<const Api> api_;
    winmm::Handle handle_ = nullptr;
    bool open_ = false;
    // One piece at a time is with the driver; its header lives here, not on a stack the driver might
    // outlast.
    Header header_;
    bool stuck_ = false;
    std::mutex mutex_;
    std::condition_variable doneChanged_;
    bool done_ = false;
};

class WinMmInConnection : public MidiInConnection {
public:
    WinMmInConnection(std::shared_ptr<const Api> api, MidiReceiver receiver)
        : api_(std::move(api)),
          receiver_(std::move(receiver)),
          buffers_(WinMmBackend::kBufferCount * WinMmBackend::kBufferSize) {
        pending_.reserve(kPendingReserve);
    }

    ~WinMmInConnection() override {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (helper_.joinable()) helper_.join();
        if (!open_) return;
        // Every buffer comes back (its notification is queued and never handled), then none is queued.
        api_->inReset(handle_);
        for (std::size_t i = 0; i < prepared_; ++i) api_->inUnprepareHeader(handle_, &headers_[i]);
        api_->inClose(handle_);
    }

    // Open, every buffer to the driver, the helper, and only then start.
    Result open(unsigned device) {
        Result result = api_->inOpen(&handle_, device, &WinMmInConnection::callback,
                                     reinterpret_cast<std::uintptr_t>(this));
        open_ = result == winmm::kNoError;
        if (!open_) return result;
        for (std::size_t i = 0; i < headers_.size(); ++i) {
            Header& header = headers_[i];
            header.lpData = reinterpret_cast<char*>(buffers_.data() + i * WinMmBackend::kBufferSize);
            header.dwBufferLength = static_cast<std::uint32_t>(WinMmBackend::kBufferSize);
            if ((result = api_->inPrepareHeader(handle_, &header)) != winmm::kNoError) return result;
            ++prepared_;
            if ((result = api_->inAddBuffer(handle_, &header)) != winmm::kNoError) return result;
        }
        helper_ = std::thread([this] { deliver(); });
        return api_->inStart(handle_);
    }

private:
    // What the callback saw: a short message, or a buffer the driver handed back.
    struct Arrival {
        std::uint32_t message = 0;
        Header* header = nullptr;
        bool broken = false;  // the buffer holds a cut or invalid message
    };
    // Enough for a burst: all 16 buffers and many short messages arrive without an allocation.
    static constexpr std::size_t kPendingReserve = 256;

    static void KALDO_WINMM_CALLBACK callback(winmm::Handle, unsigned message, std::uintptr_t instance,
                                              std::uintptr_t first, std::uintptr_t) {
        auto* self = reinterpret_cast<WinMmInConnection*>(instance);
        Arrival arrival;
        if (message == winmm::kInData) {
            arrival.message = static_cast<std::uint32_t>(first);
        } else if (message == winmm::kInLongData || message == winmm::kInLongError) {
            arrival.header = reinterpret_cast<Header*>(first);
            arrival.broken = message == winmm::kInLongError;
        } else {
            return;
        }
        {
            std::lock_guard lock(self->mutex_);
            self->pending_.push_back(arrival);
        }
        self->wake_.notify_one();
    }

    void deliver() {
        std::vector<Arrival> batch;
        batch.reserve(kPendingReserve);
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
            if (stopping_) return;
            batch.swap(pending_);
            lock.unlock();
            for (const Arrival& arrival : batch) handle(arrival);
            batch.clear();
            lock.lock();
        }
    }

    void handle(const Arrival& arrival) {
        if (!arrival.header) {
            std::array<std::uint8_t, 3> bytes{};
            for (std::size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<std::uint8_t>(arrival.message >> (8 * i));
            receiver_(std::span(bytes.data(), shortMessageLength(bytes[0])));
            return;
        }
        Header& header = *arrival.header;
        if (!arrival.broken && header.dwBytesRecorded > 0) {
            receiver_(
                std::span(reinterpret_cast<const std::uint8_t*>(header.lpData), header.dwBytesRecorded));
        }
        // Back to the end of the driver's queue.
        api_->inAddBuffer(handle_, &header);
    }

    std::shared_ptr<const Api> api_;
    MidiReceiver receiver_;
    winmm::Handle handle_ = nullptr;
    bool open_ = false;
    std::vector<std::uint8_t> buffers_;
    std::array<Header, WinMmBackend::kBufferCount> headers_{};
    std::size_t prepared_ = 0;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Arrival> pending_;
    bool stopping_ = false;
    std::thread helper_;
};

}  // namespace

WinMmBackend::WinMmBackend(winmm::Api api) : api_(std::make_shared<const winmm::Api>(std::move(api))) {}

std::vector<std::string> WinMmBackend::outputNames() {
    return deviceNames(api_->outGetNumDevs(), api_->outGetDevCaps);
}

std::vector<std::string> WinMmBackend::inputNames() {
    return deviceNames(api_->inGetNumDevs(), api_->inGetDevCaps);
}

Opened<MidiOutConnection> WinMmBackend::openOutput(const std::string& device) {
    const auto number = deviceNumber(outputNames(), device);
    if (!number) return {nullptr, kResultBadDeviceId};
    auto connection = std::make_unique<WinMmOutConnection>(api_);
    const Result result = connection->open(*number);
    if (result != winmm::kNoError) return {nullptr, result};
    return {std::move(connection), kResultOk};
}

Opened<MidiInConnection> WinMmBackend::openInput(const std::string& device, MidiReceiver receiver) {
    const auto number = deviceNumber(inputNames(), device);
    if (!number) return {nullptr, kResultBadDeviceId};
    auto connection = std::make_unique<WinMmInConnection>(api_, std::move(receiver));
    const Result result = connection->open(*number);
    if (result != winmm::kNoError) return {nullptr, result};
    return {std::move(connection), kResultOk};
}

std::unique_ptr<DeviceWatch> WinMmBackend::watchDevices(std::function<void()> changed) {
    return std::make_unique<PollingDeviceWatch>(
        [this] {
            auto names = outputNames();
            const auto inputs = inputNames();
            names.insert(names.end(), inputs.begin(), inputs.end());
            return names;
        },
        std::move(changed));
}

}  // namespace kaldo::midi
