#pragma once
// Ctrl-C as the upload's cancel button. The system's notice of the press only records it and wakes a
// thread that hands it to onInterrupt, which posts it to the window thread. One at a time; the
// previous handling of Ctrl-C comes back when it ends. One file per system: Interrupt.cpp (a SIGINT
// handler and a pipe), InterruptWindows.cpp (a console control handler).
#include <functional>
#include <memory>

namespace kaldo::cli {

class InterruptWatch {
public:
    // onInterrupt runs on a thread of its own, once per press.
    explicit InterruptWatch(std::function<void()> onInterrupt);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // Pressed at least once since the watch began. Any thread.
    static bool interrupted();

private:
    struct System;
    std::function<void()> onInterrupt_;
    std::unique_ptr<System> system_;
};

}  // namespace kaldo::cli
