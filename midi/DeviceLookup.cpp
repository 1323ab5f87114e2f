#include "DeviceLookup.h"

#include <algorithm>
#include <cctype>

namespace kaldo::midi {

namespace {
std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}
}  // namespace

DeviceLookup lookUpDevice(const std::vector<std::string>& names, const std::string& text) {
    if (!text.empty() && text.size() < 4 && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
        const int number = std::stoi(text);
        if (number < static_cast<int>(names.size())) return {number, ""};
        return {std::nullopt, "there is no device " + text};
    }
    if (text.empty()) return {std::nullopt, "no device named"};
    // A whole name wins over names that merely contain it ("Amp In" beside "Amp In 2").
    if (const auto exact = std::find(names.begin(), names.end(), text); exact != names.end()) {
        return {static_cast<int>(exact - names.begin()), ""};
    }
    const std::string wanted = lower(text);
    std::vector<int> matches;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (lower(names[i]).find(wanted) != std::string::npos) matches.push_back(static_cast<int>(i));
    }
    if (matches.size() == 1) return {matches[0], ""};
    if (matches.empty()) return {std::nullopt, "no device name contains \"" + text + "\""};
    return {std::nullopt, std::to_string(matches.size()) + " device names contain \"" + text + "\""};
}

}  // namespace kaldo::midi
