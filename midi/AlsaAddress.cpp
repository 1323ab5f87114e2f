#include "AlsaAddress.h"

#include <charconv>

namespace kaldo::midi {

std::optional<snd_seq_addr_t> alsaAddressOf(std::string_view name) {
    const std::size_t space = name.rfind(' ');
    if (space != std::string_view::npos) name.remove_prefix(space + 1);
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    unsigned client = 0;
    unsigned port = 0;
    const char* end = name.data() + name.size();
    const auto parsedClient = std::from_chars(name.data(), name.data() + colon, client);
    const auto parsedPort = std::from_chars(name.data() + colon + 1, end, port);
    if (parsedClient.ec != std::errc() || parsedClient.ptr != name.data() + colon ||
        parsedPort.ec != std::errc() || parsedPort.ptr != end || client > 255 || port > 255) {
        return std::nullopt;
    }
    snd_seq_addr_t address;
    address.client = static_cast<unsigned char>(client);
    address.port = static_cast<unsigned char>(port);
    return address;
}

}  // namespace kaldo::midi
