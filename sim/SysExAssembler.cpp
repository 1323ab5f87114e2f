#include "SysExAssembler.h"

#include <utility>

namespace kaldo::sim {

std::vector<std::vector<std::uint8_t>> SysExAssembler::feed(std::span<const std::uint8_t> piece) {
    std::vector<std::vector<std::uint8_t>> complete;
    for (const std::uint8_t b : piece) {
        if (b == 0xF0) {
            message_.assign(1, b);
            inMessage_ = true;
        } else if (!inMessage_ || b >= 0xF8) {
            continue;
        } else if (b == 0xF7) {
            message_.push_back(b);
            complete.push_back(std::move(message_));
            message_.clear();
            inMessage_ = false;
        } else if (b >= 0x80) {
            message_.clear();
            inMessage_ = false;
        } else {
            message_.push_back(b);
        }
    }
    return complete;
}

}  // namespace kaldo::sim
