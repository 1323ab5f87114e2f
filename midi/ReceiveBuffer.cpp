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
    length_ = 0;
}

void ReceiveBuffer::lost(const LostSink& dropped) {
    dropped(buffer_, length_);
    clear();
}

void ReceiveBuffer::flush(const SysExSink& sysEx) {
    if (!buffer_.empty()) sysEx(buffer_);
    buffer_.clear();
}

void ReceiveBuffer::receive(std::span<const std::uint8_t> bytes, const SysExSink& sysEx, const ShortSink& shortMessage,
                            const DropSink& dropped) {
    if (bytes.empty()) return;
    if (!inSysEx_ && bytes[0] != kSysExStart) {
        // Running status and stray data bytes carry no status of their own: nothing to deliver.
        if (bytes[0] < 0x80) return;
        shortMessage(bytes[0], bytes.size() > 1 ? bytes[1] : 0, bytes.size() > 2 ? bytes[2] : 0);
        return;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t b = bytes[i];
        if (b >= kFirstRealTime) continue;  // real-time bytes may fall anywhere, even inside SysEx
        if (inSysEx_ && b >= 0x80 && b != kSysExEnd) {
            dropped(buffer_, length_, b);
            clear();
            // A status byte other than F0 begins what follows it, as if it came on its own.
            if (b != kSysExStart) return receive(bytes.subspan(i), sysEx, shortMessage, dropped);
        }
        if (b == kSysExStart) inSysEx_ = true;
        if (!inSysEx_) continue;
        buffer_.push_back(b);
        ++length_;
        if (b == kSysExEnd) {
            flush(sysEx);
            inSysEx_ = false;
            length_ = 0;
        } else if (buffer_.size() == kBufferSize) {
            flush(sysEx);
        }
    }
}

}  // namespace kaldo::midi
