#pragma once
// A settings file in the Windows private-profile ("INI") format: "[section]" lines, each followed by
// "key=value" lines. Names compare without regard to case; values are taken as they stand (no escape
// sequences, so C:\fw\new.syx stays C:\fw\new.syx), with surrounding blanks and one pair of matching
// quotes removed as the Windows functions do. Lines it does not understand are kept as they are.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaldo {

class IniFile {
public:
    // Reads path. A missing file reads as an empty one; false when it exists but cannot be read.
    bool load(const std::filesystem::path& path);
    // Writes every line, each ended by CR LF, to a fresh file that then replaces path, so a failed
    // write never leaves half a file behind.
    bool save(const std::filesystem::path& path) const;

    std::optional<std::string> readString(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key, std::string_view fallback) const;
    // The leading decimal integer of the value (0 when it has none); fallback when the key is missing.
    int readInt(std::string_view section, std::string_view key, int fallback) const;
    // True for any non-zero integer.
    bool readBool(std::string_view section, std::string_view key, bool fallback) const;

    // Replaces the key's line, or adds it at the end of its section, adding the section at the end.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInt(std::string_view section, std::string_view key, int value);
    void writeBool(std::string_view section, std::string_view key, bool value);
    void deleteKey(std::string_view section, std::string_view key);
    // Removes the section's line and all its keys (of every section so named); false when there was
    // no such section.
    bool eraseSection(std::string_view section);

    const std::vector<std::string>& lines() const { return lines_; }

private:
    struct Range {
        std::size_t header;  // the "[section]" line
        std::size_t end;     // one past the section's last line
    };
    std::optional<Range> findSection(std::string_view section) const;
    std::optional<std::size_t> findKey(const Range& range, std::string_view key) const;

    std::vector<std::string> lines_;
};

}  // namespace kaldo
