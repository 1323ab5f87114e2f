#pragma once
// Text at the program's edges is UTF-8: file names from the command line, the desktop program's file
// dialog and the settings file, device names, everything printed. Windows speaks UTF-16 and reads a
// plain std::string path in the ANSI code page, where "fürmware.syx" or a Japanese folder name is
// lost; so every path is made from UTF-8 and turned back into UTF-8 here, and nowhere else.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kaldo {

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool isUtf8(std::string_view text);

// UTF-16 as UTF-8. An unpaired surrogate becomes U+FFFD.
std::string utf8FromUtf16(std::u16string_view text);

// The path that UTF-8 text names. Text that is not UTF-8 (a path an older program wrote in the ANSI
// code page) is taken in the system's own narrow encoding instead.
std::filesystem::path pathFromUtf8(std::string_view text);

// A path as UTF-8 text, for messages, JSON and the settings file.
std::string utf8FromPath(const std::filesystem::path& path);

// The last part of a path given as UTF-8 ("fw.syx" of "C:\fw\fw.syx"), as UTF-8.
std::string fileNameOf(std::string_view path);

// The program's command line as UTF-8, in main()'s shape for the argument parser. Windows hands
// main() its arguments in the ANSI code page, so there they are read again from the UTF-16 command
// line; elsewhere they are argv as it stands.
class Utf8Arguments {
public:
    Utf8Arguments(int argc, char** argv);
    Utf8Arguments(const Utf8Arguments&) = delete;
    Utf8Arguments& operator=(const Utf8Arguments&) = delete;

    int argc() const { return static_cast<int>(texts_.size()); }
    const char* const* argv() const { return pointers_.data(); }

private:
    std::vector<std::string> texts_;
    std::vector<const char*> pointers_;
};

}  // namespace kaldo
