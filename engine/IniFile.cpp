#include "IniFile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <fstream>
#include <random>

namespace kaldo {
namespace {

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// The name of a "[section]" line, if line is one.
std::optional<std::string_view> sectionName(std::string_view line) {
    line = trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const auto close = line.find(']');
    return trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

bool isComment(std::string_view line) {
    line = trim(line);
    return !line.empty() && line.front() == ';';
}

std::string_view keyOf(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos || isComment(line)) return {};
    return trim(line.substr(0, eq));
}

std::string_view valueOf(std::string_view line) {
    std::string_view value = trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

std::string keyLine(std::string_view key, std::string_view value) {
    std::string line(key);
    line.push_back('=');
    return line.append(value);
}

}  // namespace

bool IniFile::load(const std::filesystem::path& path) {
    lines_.clear();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return !ec;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.push_back(line);
    }
    return !file.bad();
}

bool IniFile::save(const std::filesystem::path& path) const {
    std::random_device rd;
    std::filesystem::path temporary = path;
    temporary += ".tmp-" + std::to_string(rd());
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        for (const auto& line : lines_) file << line << "\r\n";
        file.close();
        if (!file) {
            std::error_code ec;
            std::filesystem::remove(temporary, ec);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) std::filesystem::remove(temporary, ec);
    return !ec;
}

std::optional<IniFile::Range> IniFile::findSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = sectionName(lines_[i]);
        if (!name || !sameName(*name, section)) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && !sectionName(lines_[end])) ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniFile::findKey(const Range& range, std::string_view key) const {
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        const auto k = keyOf(lines_[i]);
        if (!k.empty() && sameName(k, key)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::readString(std::string_view section, std::string_view key) const {
    const auto range = findSection(section);
    if (!range) return std::nullopt;
    const auto line = findKey(*range, key);
    if (!line) return std::nullopt;
    return std::string(valueOf(lines_[*line]));
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
    return readString(section, key).value_or(std::string(fallback));
}

int IniFile::readInt(std::string_view section, std::string_view key, int fallback) const {
    const auto value = readString(section, key);
    if (!value) return fallback;
    const std::string& v = *value;
    const bool negative = !v.empty() && v[0] == '-';
    std::size_t i = !v.empty() && (v[0] == '-' || v[0] == '+') ? 1 : 0;
    long long n = 0;
    for (; i < v.size() && std::isdigit(static_cast<unsigned char>(v[i])); ++i) {
        n = std::min<long long>(n * 10 + (v[i] - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    if (negative) n = -n;
    return static_cast<int>(std::clamp<long long>(n, INT_MIN, INT_MAX));
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool fallback) const {
    return readInt(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    auto range = findSection(section);
    if (!range) {
        std::string header(1, '[');
        header.append(section).push_back(']');
        lines_.push_back(std::move(header));
        lines_.push_back(keyLine(key, value));
        return;
    }
    if (const auto line = findKey(*range, key)) {
        lines_[*line] = keyLine(key, value);
        return;
    }
    // After the section's last non-blank line, so a blank line between sections stays between them.
    std::size_t at = range->end;
    while (at > range->header + 1 && trim(lines_[at - 1]).empty()) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), keyLine(key, value));
}

void IniFile::writeInt(std::string_view section, std::string_view key, int value) {
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

void IniFile::deleteKey(std::string_view section, std::string_view key) {
    const auto range = findSection(section);
    if (!range) return;
    if (const auto line = findKey(*range, key))
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*line));
}

bool IniFile::eraseSection(std::string_view section) {
    // Every section of that name: a hand-edited file may repeat one, and a stale value must not
    // come back from the second copy.
    bool erased = false;
    while (const auto range = findSection(section)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->header),
                     lines_.begin() + static_cast<std::ptrdiff_t>(range->end));
        erased = true;
    }
    return erased;
}

}  // namespace kaldo
