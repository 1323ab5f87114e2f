// The terminal on Windows: the console.
#include "Terminal.h"

#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "Utf8.h"

namespace kaldo::cli {

bool inputIsTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}

// Consoles before Windows 10 know no escape sequences: they refuse the mode, and the bar becomes lines.
bool canRedrawLines() {
    if (_isatty(_fileno(stdout)) == 0) return false;
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(out, &mode)) return false;
    return SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

Utf8Console::Utf8Console() : previous_(GetConsoleOutputCP()) {
    if (previous_ != 0) SetConsoleOutputCP(CP_UTF8);
}

Utf8Console::~Utf8Console() {
    if (previous_ != 0) SetConsoleOutputCP(previous_);
}

// The console's own line editing reads the line; Ctrl-C ends the read at once (no characters, the
// operation aborted), and the press itself reaches the console handler on a thread of its own.
TypedLine readTypedLine(const std::function<bool()>& interrupted) {
    TypedLine line;
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::u16string typed;
    for (;;) {
        if (interrupted && interrupted()) return line;
        wchar_t chunk[256];
        DWORD count = 0;
        if (!ReadConsoleW(in, chunk, 256, &count, nullptr) || count == 0) return line;
        typed.append(chunk, chunk + count);
        const auto end = typed.find_first_of(u"\r\n");
        if (end != std::u16string::npos) {
            line.text = utf8FromUtf16(typed.substr(0, end));
            line.ended = true;
            return line;
        }
    }
}

}  // namespace kaldo::cli
