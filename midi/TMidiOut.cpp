#include "TMidiOut.h"

#include <algorithm>
#include <array>

#include "SysExWaitLimit.h"

namespace kaldo::midi {

std::vector<std::string> TMidiOut::deviceNames(MidiBackend& backend) {
    auto names = backend.outputNames();
    if (names.size() > static_cast<std::size_t>(kMaxDevices)) names.resize(static_cast<std::size_t>(kMaxDevices));
    return names;
}

TMidiOut::TMidiOut(std::shared_ptr<MidiBackend> backend) : backend_(std::move(backend)) { Init(); }

TMidiOut::~TMidiOut() { Destroy(); }

void TMidiOut::Init() {
    auto names = deviceNames(*backend_);
    std::lock_guard port(portMutex_);
    std::lock_guard state(stateMutex_);
    devices_ = std::move(names);
}

void TMidiOut::Destroy() {
    std::lock_guard port(portMutex_);
    if (using_) close();
    std::lock_guard state(stateMutex_);
    devices_.clear();
}

void TMidiOut::Reset() { Init(); }

bool TMidiOut::Relist() {
    auto names = deviceNames(*backend_);
    std::lock_guard port(portMutex_);
    const bool open = using_ && connection_;
    const std::string openName = open ? devices_[static_cast<std::size_t>(port_)] : std::string();
    const auto found = std::find(names.begin(), names.end(), openName);
    const bool stays = !open || found != names.end();
    if (!stays) close();
    std::lock_guard state(stateMutex_);
    if (open && stays) port_ = static_cast<int>(found - names.begin());
    devices_ = std::move(names);
    return stays;
}

bool TMidiOut::Using() const {
    std::lock_guard state(stateMutex_);
    return using_;
}

int TMidiOut::Port() const {
    std::lock_guard state(stateMutex_);
    return port_;
}

int TMidiOut::NumDevs() const {
    std::lock_guard state(stateMutex_);
    return static_cast<int>(devices_.size());
}

std::string TMidiOut::deviceName(int i) const {
    std::lock_guard state(stateMutex_);
    return devices_.at(static_cast<std::size_t>(i));
}

std::uint32_t TMidiOut::openResult() const {
    std::lock_guard state(stateMutex_);
    return openResult_;
}

std::uint32_t TMidiOut::closeResult() const {
    std::lock_guard state(stateMutex_);
    return closeResult_;
}

// open and close run with portMutex_ held.
void TMidiOut::open() {
    Opened<MidiOutConnection> opened{nullptr, kResultBadDeviceId};
    if (port_ >= 0 && port_ < static_cast<int>(devices_.size())) {
        opened = backend_->openOutput(devices_[static_cast<std::size_t>(port_)]);
    }
    std::lock_guard state(stateMutex_);
    connection_ = std::move(opened.connection);
    openResult_ = opened.result;
}

// The platform's close is retried while it reports a block still playing; a connection here only
// closes once its last block has left, so one close is the whole loop.
void TMidiOut::close() {
    const std::uint32_t result = connection_ ? kResultOk : kResultInvalidHandle;
    connection_.reset();
    std::lock_guard state(stateMutex_);
    closeResult_ = result;
}

void TMidiOut::SetUsing(bool v) {
    std::lock_guard port(portMutex_);
    if (v && !using_) open();
    if (!v && using_) close();
    std::lock_guard state(stateMutex_);
    using_ = v;
}

void TMidiOut::SetPort(int p) {
    std::lock_guard port(portMutex_);
    if (p >= static_cast<int>(devices_.size())) return;
    if (using_) close();
    {
        std::lock_guard state(stateMutex_);
        port_ = p;
    }
    if (using_) open();
}

void TMidiOut::putShort(std::span<const std::uint8_t> message) {
    std::lock_guard port(portMutex_);
    if (using_ && connection_) connection_->sendShort(message);
}

void TMidiOut::Put1(std::uint8_t status) { putShort(std::array{status}); }

void TMidiOut::Put2(std::uint8_t status, std::uint8_t first) { putShort(std::array{status, first}); }

void TMidiOut::Put3(std::uint8_t status, std::uint8_t first, std::uint8_t second) {
    putShort(std::array{status, first, second});
}

void TMidiOut::Put2Direct(std::uint32_t msg) {
    const auto status = static_cast<std::uint8_t>(msg & 0xFF);
    const auto first = static_cast<std::uint8_t>((msg >> 8) & 0xFF);
    const auto second = static_cast<std::uint8_t>((msg >> 16) & 0xFF);
    // A packed message carries as many data bytes as its status calls for.
    const bool twoDataBytes = !(status >= 0xC0 && status <= 0xDF) && status != 0xF1 && status != 0xF3;
    if (status >= 0xF4) {
        putShort(std::array{status});
    } else if (twoDataBytes) {
        putShort(std::array{status, first, second});
    } else {
        putShort(std::array{status, first});
    }
}

bool TMidiOut::SysEx(const std::uint8_t* data, std::size_t length) {
    std::lock_guard port(portMutex_);
    if (!using_ || length <= 2) return false;
    if (!connection_) return false;  // the open failed: the platform ignores sends on such a handle
    const auto deadline = std::chrono::steady_clock::now() + sysExWaitLimit(length);
    return connection_->sendSysEx(std::span(data, length), deadline);
}

}  // namespace kaldo::midi
