#include "SysExFile.h"

namespace kaldo::midi {

SysExFile sysExMessages(std::span<const std::uint8_t> bytes) {
    SysExFile file;
    std::size_t start = 0;
    bool inMessage = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t b = bytes[i];
        if (!inMessage) {
            if (b != 0xF0) return {{}, "byte " + std::to_string(i) + " lies outside any SysEx message"};
            start = i;
            inMessage = true;
        } else if (b == 0xF7) {
            file.messages.push_back(bytes.subspan(start, i + 1 - start));
            inMessage = false;
        } else if (b >= 0x80) {
            return {{}, "message " + std::to_string(file.messages.size() + 1) + " holds a status byte at " + std::to_string(i)};
        }
    }
    if (inMessage) return {{}, "the last message has no end (F7)"};
    if (file.messages.empty()) return {{}, "the file holds no SysEx message"};
    return file;
}

}  // namespace kaldo::midi
