#pragma once
// The diagnostic log (Memo1): received messages in hexadecimal, reported versions, device counts and
// device-change codes. Lives on the window thread; the desktop program shows it and copies it to a
// log file.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>

namespace kaldo {

class Memo {
public:
    // Called after every change, with the line just added.
    std::function<void(const std::string&)> onLine;

    void addLine(const std::string& line);
    // A received message: first drops the oldest line when more than 20 are held, then adds the bytes
    // as "F0 7E ... " (two upper-case hex digits and a space per byte).
    void addReceived(std::span<const std::uint8_t> message);
    // A message that is not the amp's (another maker's, or too short to be a reply): by the same rule,
    // one line with its first bytes and its length, so a busy line cannot flood the log.
    void addIgnored(std::span<const std::uint8_t> message);
    // Any other line about what arrived (input cut short, for one), by the same rule.
    void addReceivedLine(const std::string& line);

    const std::deque<std::string>& lines() const { return lines_; }

private:
    std::deque<std::string> lines_;
};

}  // namespace kaldo
