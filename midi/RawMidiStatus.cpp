#include "RawMidiStatus.h"

#include <charconv>

namespace kaldo::midi {

namespace {

// Ports a card's sequencer client gives each rawmidi device: 256 ports over 8 devices.
constexpr int kPortsPerDevice = 32;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::optional<std::uint64_t> number(std::string_view text) {
    text = trimmed(text);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

RawMidiOutput RawMidiOutput::ofPort(int card, int port) {
    return {"/proc/asound/card" + std::to_string(card) + "/midi" + std::to_string(port / kPortsPerDevice),
            port % kPortsPerDevice};
}

// The file names the device, then per substream a heading line ("Output 0") and indented
// "Name : value" lines.
std::optional<RawMidiOutputStatus> parseRawMidiOutput(std::string_view text, int substream) {
    const std::string heading = "Output " + std::to_string(substream);
    std::optional<RawMidiOutputStatus> status;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (trimmed(line).empty()) continue;
        const bool indented = !line.empty() && (line.front() == ' ' || line.front() == '\t');
        if (!indented) {
            if (status) break;  // the next substream's heading
            if (trimmed(line) == heading) status.emplace();
            continue;
        }
        if (!status) continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view name = trimmed(line.substr(0, colon));
        const auto value = number(line.substr(colon + 1));
        if (!value) continue;
        if (name == "Tx bytes") status->txBytes = *value;
        if (name == "Buffer size") status->bufferSize = static_cast<std::size_t>(*value);
        if (name == "Avail") status->avail = static_cast<std::size_t>(*value);
    }
    return status;
}

}  // namespace kaldo::midi
