#include "Memo.h"

#include <algorithm>

namespace kaldo {

void Memo::addLine(const std::string& line) {
    lines_.push_back(line);
    if (onLine) onLine(line);
}

namespace {

// "F0 7E " for every byte: two upper-case hex digits and a space.
std::string hexBytes(std::span<const std::uint8_t> bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::uint8_t b : bytes) {
        text.push_back(kHex[b >> 4]);
        text.push_back(kHex[b & 0x0F]);
        text.push_back(' ');
    }
    return text;
}

}  // namespace

void Memo::addReceivedLine(const std::string& line) {
    if (lines_.size() > 20) lines_.pop_front();
    addLine(line);
}

void Memo::addReceived(std::span<const std::uint8_t> message) { addReceivedLine(hexBytes(message)); }

void Memo::addIgnored(std::span<const std::uint8_t> message) {
    constexpr std::size_t kShown = 8;
    addReceivedLine("not the amp, ignored: " + hexBytes(message.first(std::min(message.size(), kShown))) +
            (message.size() > kShown ? "... " : "") + "(" + std::to_string(message.size()) + " bytes)");
}

}  // namespace kaldo
