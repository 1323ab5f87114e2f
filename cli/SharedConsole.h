#pragma once
// The terminal of kaldo-flash upload --all, shared by the amps' threads: whole lines only, never two
// amps' bytes mixed, and on a terminal one progress row per amp, redrawn in place below the lines
// that stay. A question takes the terminal to itself until it is answered.
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace kaldo::cli {

class SharedConsole {
public:
    // rows: the amps, in the order their rows are drawn; redraw: whether rows are drawn at all (a
    // terminal that can redraw lines).
    SharedConsole(std::ostream& out, std::vector<std::string> rows, bool redraw);

    // A line that stays, above the rows.
    void printLine(const std::string& line);
    // The amp's progress row.
    void setRow(const std::string& amp, const std::string& text);
    // Runs fn with the terminal to itself: the rows cleared, drawn again afterwards.
    void exclusive(const std::function<void(std::ostream&)>& fn);
    // The rows stay as they are, below them what follows.
    void finish();

private:
    void clearRows();
    void drawRows();

    std::mutex mutex_;
    std::ostream& out_;
    std::vector<std::string> order_;
    std::map<std::string, std::string> rows_;
    bool redraw_;
    bool drawn_ = false;
};

}  // namespace kaldo::cli
