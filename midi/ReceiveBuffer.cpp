#include "ReceiveBuffer.h"

namespace kaldo::midi {

namespace {
constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
constexpr std::uint8_t kFirstRealTime = 0xF8;
}  // namespace

ReceiveBuffer::ReceiveBuffer() { buffer_.reserve(kBufferSize); }

void ReceiveBuffer::clear() {
    buffer_.clear();
    inSysEx_ = false;
}

void ReceiveBuffer::flush(const SysExSink& sysEx) {
    if (!buffer_.empty()) sysEx(buffer_);
    buffer_.clear();
}

void ReceiveBuffer::receive(std::span<const std::uint8_t> bytes, const SysExSink& sysEx, const ShortSink& shortMessage) {
    if (bytes.empty()) return;
    if (!inSysEx_ && bytes[0] != kSysExStart) {
        // Running status and stray data bytes carry no status of their own: nothing to deliver.
        if (bytes[0] < 0x80) return;
        shortMessage(bytes[0], bytes.size() > 1 ? bytes[1] : 0, bytes.size() > 2 ? bytes[2] : 0);
        return;
    }
    for (const std::uint8_t b : bytes) {
        if (b >= kFirstRealTime) continue;  // real-time bytes may fall anywhere, even inside SysEx
        if (b == kSysExStart && inSysEx_) flush(sysEx);  // an unterminated message ends here
        if (b == kSysExStart) inSysEx_ = true;
        if (!inSysEx_) continue;
        buffer_.push_back(b);
        if (b == kSysExEnd) {
            flush(sysEx);
            inSysEx_ = false;
        } else if (buffer_.size() == kBufferSize) {
            flush(sysEx);
        }
    }
}

}  // namespace kaldo::midi
