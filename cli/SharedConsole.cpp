#include "SharedConsole.h"

namespace kaldo::cli {

SharedConsole::SharedConsole(std::ostream& out, std::vector<std::string> rows, bool redraw)
    : out_(out), order_(std::move(rows)), redraw_(redraw) {}

void SharedConsole::clearRows() {
    if (!drawn_) return;
    // Up to the first row, and everything below cleared.
    out_ << "\r\x1b[" << order_.size() << "A\x1b[J";
    drawn_ = false;
}

void SharedConsole::drawRows() {
    if (!redraw_) return;
    for (const std::string& amp : order_) out_ << amp << "  " << rows_[amp] << "\x1b[K\n";
    out_ << std::flush;
    drawn_ = true;
}

void SharedConsole::printLine(const std::string& line) {
    std::lock_guard lock(mutex_);
    clearRows();
    out_ << line << "\n";
    drawRows();
    out_ << std::flush;
}

void SharedConsole::setRow(const std::string& amp, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (rows_[amp] == text) return;
    rows_[amp] = text;
    if (!redraw_) return;
    clearRows();
    drawRows();
}

void SharedConsole::exclusive(const std::function<void(std::ostream&)>& fn) {
    std::lock_guard lock(mutex_);
    clearRows();
    fn(out_);
    drawRows();
}

void SharedConsole::finish() {
    std::lock_guard lock(mutex_);
    drawn_ = false;
    out_ << std::flush;
}

}  // namespace kaldo::cli
