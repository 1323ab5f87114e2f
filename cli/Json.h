#pragma once
// One JSON object for --json output, keys in the order they are added, values plain or objects and
// arrays of objects made the same way. Strings are escaped as
// JSON requires; other bytes pass through, so UTF-8 text stays UTF-8.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace kaldo::cli {

inline std::string jsonQuoted(std::string_view text) {
    // Control characters with a short escape, and the letters of those escapes.
    constexpr std::string_view kShortControls = "\b\f\n\r\t";
    constexpr std::string_view kShortLetters = "bfnrt";
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (const auto at = kShortControls.find(c); at != std::string_view::npos) {
            out += '\\';
            out += kShortLetters[at];
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

class JsonObject {
public:
    JsonObject& addBool(std::string_view key, bool value) { return add(key, value ? "true" : "false"); }
    JsonObject& addInt(std::string_view key, std::int64_t value) { return add(key, std::to_string(value)); }
    JsonObject& addString(std::string_view key, std::string_view value) {
        return add(key, jsonQuoted(value));
    }
    JsonObject& addObject(std::string_view key, const JsonObject& value) { return add(key, value.str()); }
    template <class Objects>
    JsonObject& addArray(std::string_view key, const Objects& values) {
        std::string array = "[";
        for (const JsonObject& value : values) {
            if (array.size() > 1) array += ',';
            array += value.str();
        }
        return add(key, array + "]");
    }

    std::string str() const { return "{" + body_ + "}"; }

private:
    JsonObject& add(std::string_view key, const std::string& rawValue) {
        if (!body_.empty()) body_ += ",";
        body_ += jsonQuoted(key) + ":" + rawValue;
        return *this;
    }

    std::string body_;
};

}  // namespace kaldo::cli
