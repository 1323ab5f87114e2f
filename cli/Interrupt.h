#pragma once
// Ctrl-C as the upload's cancel button. The SIGINT handler only records the press and wakes a
// watcher thread through a pipe; the watcher hands it to onInterrupt, which posts it to the window
// thread. One at a time; the previous handling of SIGINT comes back when it ends.
#include <signal.h>

#include <functional>
#include <thread>

namespace kaldo::cli {

class InterruptWatch {
public:
    // onInterrupt runs on the watcher thread, once per press.
    explicit InterruptWatch(std::function<void()> onInterrupt);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // Pressed at least once since the watch began. Any thread.
    static bool interrupted();

private:
    std::function<void()> onInterrupt_;
    struct sigaction previous_ {};
    std::thread watcher_;
};

}  // namespace kaldo::cli
