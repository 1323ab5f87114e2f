#include "TMidiIn.h"

#include <algorithm>
#include <cstdio>

namespace kaldo::midi {

namespace {

// " F0 00 00 5A 12 01 7C 00 ...": the first bytes of what was dropped.
std::string firstBytes(std::span<const std::uint8_t> dropped) {
    constexpr std::size_t kShownBytes = 8;
    std::string bytes;
    char text[8];
    for (std::size_t i = 0; i < dropped.size() && i < kShownBytes; ++i) {
        std::snprintf(text, sizeof text, " %02X", dropped[i]);
        bytes += text;
    }
    if (dropped.size() > kShownBytes) bytes += " ...";
    return bytes;
}

// "SysEx cut short by F0 after 12 bytes, dropped: F0 00 00 5A 12 01 7C 00 ..."
std::string dropLine(std::span<const std::uint8_t> dropped, std::size_t length, std::uint8_t cutBy) {
    char text[64];
    std::snprintf(text, sizeof text, "SysEx cut short by %02X after %zu bytes, dropped:", cutBy, length);
    return text + firstBytes(dropped);
}

// "MIDI input overrun: SysEx cut short after 12 bytes, dropped: F0 00 ...", or, with no message in
// progress, only that input was lost.
std::string lostLine(std::span<const std::uint8_t> dropped, std::size_t length) {
    std::string line = "MIDI input overrun: input was lost";
    if (length == 0) return line;
    char text[64];
    std::snprintf(text, sizeof text, "; SysEx cut short after %zu bytes, dropped:", length);
    return line + text + firstBytes(dropped);
}

}  // namespace

std::vector<std::string> TMidiIn::deviceNames(MidiBackend& backend) {
    auto names = backend.inputNames();
    if (names.size() > static_cast<std::size_t>(kMaxDevices)) names.resize(static_cast<std::size_t>(kMaxDevices));
    return names;
}

TMidiIn::TMidiIn(std::shared_ptr<MidiBackend> backend) : backend_(std::move(backend)) { Init(); }

TMidiIn::~TMidiIn() { Destroy(); }

void TMidiIn::Init() {
    auto names = deviceNames(*backend_);
    useShort_ = true;
    useSysEx_ = true;
    std::lock_guard lock(mutex_);
    devices_ = std::move(names);
}

void TMidiIn::Destroy() {
    std::lock_guard lock(mutex_);
    if (using_) UnPrepare();
    devices_.clear();
}

bool TMidiIn::Relist() {
    auto names = deviceNames(*backend_);
    std::lock_guard lock(mutex_);
    const bool open = using_ && connection_;
    const std::string openName = open ? devices_[static_cast<std::size_t>(port_)] : std::string();
    const auto found = std::find(names.begin(), names.end(), openName);
    const bool stays = !open || found != names.end();
    if (!stays) UnPrepare();
    if (open && stays) port_ = static_cast<int>(found - names.begin());
    devices_ = std::move(names);
    return stays;
}

bool TMidiIn::Using() const {
    std::lock_guard lock(mutex_);
    return using_;
}

int TMidiIn::Port() const {
    std::lock_guard lock(mutex_);
    return port_;
}

int TMidiIn::NumDevs() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(devices_.size());
}

std::string TMidiIn::deviceName(int i) const {
    std::lock_guard lock(mutex_);
    return devices_.at(static_cast<std::size_t>(i));
}

std::uint32_t TMidiIn::openResult() const {
    std::lock_guard lock(mutex_);
    return openResult_;
}

std::uint32_t TMidiIn::closeResult() const {
    std::lock_guard lock(mutex_);
    return closeResult_;
}

void TMidiIn::SetUsing(bool v) {
    std::lock_guard lock(mutex_);
    if (v && !using_) Prepare();
    if (!v && using_) UnPrepare();
    using_ = v;
}

void TMidiIn::SetPort(int p) {
    std::lock_guard lock(mutex_);
    if (p >= static_cast<int>(devices_.size())) return;
    if (!using_) {
        port_ = p;
        return;
    }
    UnPrepare();
    port_ = p;
    Prepare();
}

void TMidiIn::Prepare() {
    {
        std::lock_guard delivery(deliveryMutex_);
        closing_ = false;
        buffer_.clear();
    }
    if (port_ < 0 || port_ >= static_cast<int>(devices_.size())) {
        openResult_ = kResultBadDeviceId;
        return;
    }
    auto opened = backend_->openInput(devices_[static_cast<std::size_t>(port_)],
                                      [this](std::span<const std::uint8_t> bytes) { received(bytes); });
    connection_ = std::move(opened.connection);
    openResult_ = opened.result;
}

void TMidiIn::UnPrepare() {
    {
        std::lock_guard delivery(deliveryMutex_);
        closing_ = true;
    }
    closeResult_ = connection_ ? kResultOk : kResultInvalidHandle;
    connection_.reset();
}

void TMidiIn::received(std::span<const std::uint8_t> bytes) {
    std::lock_guard delivery(deliveryMutex_);
    if (closing_) return;
    if (bytes.empty()) {
        buffer_.lost([this](std::span<const std::uint8_t> dropped, std::size_t length) {
            if (OnDropped) OnDropped(*this, lostLine(dropped, length));
        });
        return;
    }
    buffer_.receive(
        bytes,
        [this](std::span<const std::uint8_t> sysEx) {
            if (OnSysEx && useSysEx_) OnSysEx(*this, sysEx.data(), static_cast<int>(sysEx.size()));
        },
        [this](std::uint8_t status, std::uint8_t first, std::uint8_t second) {
            if (OnShort && useShort_) OnShort(*this, status, first, second);
        },
        [this](std::span<const std::uint8_t> dropped, std::size_t length, std::uint8_t cutBy) {
            if (OnDropped) OnDropped(*this, dropLine(dropped, length, cutBy));
        });
}

}  // namespace kaldo::midi
