#pragma once
// The terminal kaldo-flash runs in, one file per system (Terminal.cpp, TerminalWindows.cpp): whether
// its input and output are a terminal, the escape sequences that redraw the progress bar, UTF-8
// output, and a line typed in answer to a question.
#include <functional>
#include <string>

namespace kaldo::cli {

bool inputIsTerminal();

// Whether stdout is a terminal that redraws a line in place on "\r\x1b[K". On Windows this switches
// the console to those sequences (virtual-terminal processing), where the console can. Otherwise the
// progress goes out as plain lines.
bool canRedrawLines();

// For its lifetime, text printed to the console is taken as UTF-8 (device and file names). Only
// Windows needs telling; its console's code page comes back at the end.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    unsigned previous_ = 0;
};

struct TypedLine {
    std::string text;    // UTF-8, without the line's end
    bool ended = false;  // by Enter; else by the end of input or Ctrl-C
};

// One line typed at the terminal. Ends early once interrupted() says Ctrl-C was pressed, also when
// another thread took the press.
TypedLine readTypedLine(const std::function<bool()>& interrupted);

}  // namespace kaldo::cli
