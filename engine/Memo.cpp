#include "Memo.h"

namespace kaldo {

void Memo::addLine(const std::string& line) {
    lines_.push_back(line);
    if (onLine) onLine(line);
}

void Memo::addReceived(std::span<const std::uint8_t> message) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    if (lines_.size() > 20) lines_.pop_front();
    std::string line;
    line.reserve(message.size() * 3);
    for (std::uint8_t b : message) {
        line.push_back(kHex[b >> 4]);
        line.push_back(kHex[b & 0x0F]);
        line.push_back(' ');
    }
    addLine(line);
}

}  // namespace kaldo
