#include "Utf8.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// windows.h first: shellapi.h builds on its types.
#include <shellapi.h>
#endif

#include <cwchar>

namespace kaldo {
namespace {

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t cp = 0;
        char32_t smallest = 0;  // anything below has a shorter form
        if ((lead & 0xE0) == 0xC0) {
            length = 2, cp = lead & 0x1F, smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, cp = lead & 0x0F, smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, cp = lead & 0x07, smallest = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            cp = cp << 6 | (next & 0x3F);
        }
        if (cp < smallest || cp > 0x10FFFF || isHighSurrogate(cp) || isLowSurrogate(cp)) return false;
        i += length;
    }
    return true;
}

std::string utf8FromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (isHighSurrogate(cp) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(cp) || isLowSurrogate(cp)) {
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::filesystem::path pathFromUtf8(std::string_view text) {
    if (!isUtf8(text)) return std::filesystem::path(std::string(text));
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string utf8FromPath(const std::filesystem::path& path) {
    if constexpr (sizeof(std::filesystem::path::value_type) == sizeof(char16_t)) {
        // UTF-16 names may hold unpaired surrogates, which path::u8string() refuses with an exception.
        const auto& native = path.native();
        return utf8FromUtf16(std::u16string(native.begin(), native.end()));
    } else {
        return path.string();
    }
}

std::string fileNameOf(std::string_view path) {
    return utf8FromPath(pathFromUtf8(path).filename());
}

Utf8Arguments::Utf8Arguments(int argc, char** argv) {
#if defined(_WIN32)
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i) {
            texts_.push_back(utf8FromUtf16(std::u16string(wide[i], wide[i] + std::wcslen(wide[i]))));
        }
        LocalFree(wide);
    }
#endif
    if (texts_.empty()) texts_.assign(argv, argv + argc);
    for (const auto& text : texts_) pointers_.push_back(text.c_str());
    pointers_.push_back(nullptr);
}

}  // namespace kaldo
