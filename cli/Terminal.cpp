// The terminal on POSIX systems.
#include "Terminal.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace kaldo::cli {

bool inputIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

bool canRedrawLines() {
    return isatty(STDOUT_FILENO) == 1;
}

Utf8Console::Utf8Console() = default;

Utf8Console::~Utf8Console() = default;

// Polls so that a Ctrl-C taken by another thread still ends the wait.
TypedLine readTypedLine(const std::function<bool()>& interrupted) {
    TypedLine line;
    for (;;) {
        if (interrupted && interrupted()) return line;
        pollfd in{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&in, 1, 100);
        if (ready < 0 && errno != EINTR) return line;
        if (ready <= 0) continue;
        char c = 0;
        const ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return line;
        if (c == '\n') {
            line.ended = true;
            return line;
        }
        line.text += c;
    }
}

}  // namespace kaldo::cli
