#include "DeviceChoice.h"

#include <algorithm>
#include <cctype>

namespace kaldo::cli {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool allDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

}  // namespace

DeviceChoice chooseDevice(const std::vector<std::string>& names, const std::string& wanted) {
    const int count = static_cast<int>(names.size());
    for (int i = 0; i < count; ++i) {
        if (names[static_cast<std::size_t>(i)] == wanted) return {i, ""};
    }
    if (allDigits(wanted) && wanted.size() < 4) {
        const int number = std::stoi(wanted);
        if (number < count) return {number, ""};
        return {-1, "there is no device " + wanted + " (" + std::to_string(count) + " listed)"};
    }
    std::vector<int> matches;
    for (int i = 0; i < count; ++i) {
        if (lower(names[static_cast<std::size_t>(i)]).find(lower(wanted)) != std::string::npos) matches.push_back(i);
    }
    if (matches.size() == 1) return {matches.front(), ""};
    if (matches.empty()) return {-1, "no device is called '" + wanted + "'"};
    std::string error = "'" + wanted + "' fits more than one device:";
    for (const int i : matches) error += " '" + names[static_cast<std::size_t>(i)] + "'";
    return {-1, error};
}

}  // namespace kaldo::cli
