// Ctrl-C on POSIX systems: SIGINT.
#include "Interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

namespace kaldo::cli {

namespace {

constexpr char kPressed = 'i';
constexpr char kQuit = 'q';

std::atomic<bool> pressed{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");
int wakeRead = -1;
int wakeWrite = -1;

// Only what is safe in a signal handler: a lock-free store and a write.
void onSigint(int) {
    const int saved = errno;
    pressed.store(true);
    const char c = kPressed;
    [[maybe_unused]] const ssize_t n = write(wakeWrite, &c, 1);
    errno = saved;
}

}  // namespace

struct InterruptWatch::System {
    struct sigaction previous {};
    std::thread watcher;
};

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)), system_(std::make_unique<System>()) {
    int fds[2];
    if (pipe(fds) != 0) return;  // no pipe, no watch: Ctrl-C keeps its usual meaning
    wakeRead = fds[0];
    wakeWrite = fds[1];
    pressed = false;
    system_->watcher = std::thread([this] {
        char c = 0;
        for (;;) {
            const ssize_t n = read(wakeRead, &c, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0 || c == kQuit) return;
            onInterrupt_();
        }
    });
    // Installed whatever the previous handling was: a shell starts background jobs with SIGINT
    // ignored, and a script's kill -INT must still reach the cancel button.
    struct sigaction action {};
    action.sa_handler = onSigint;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a read of the keyboard returns at once
    sigaction(SIGINT, &action, &system_->previous);
}

InterruptWatch::~InterruptWatch() {
    if (!system_->watcher.joinable()) return;
    sigaction(SIGINT, &system_->previous, nullptr);
    const char c = kQuit;
    [[maybe_unused]] const ssize_t n = write(wakeWrite, &c, 1);
    system_->watcher.join();
    close(wakeRead);
    close(wakeWrite);
    wakeRead = wakeWrite = -1;
}

bool InterruptWatch::interrupted() { return pressed.load(); }

}  // namespace kaldo::cli
