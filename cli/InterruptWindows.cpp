// Ctrl-C on Windows: a console control handler. The system runs it on a thread it starts for each
// press, so the handler hands the press on itself; no watcher thread is needed.
#include "Interrupt.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <mutex>

namespace kaldo::cli {

namespace {

std::atomic<bool> pressed{false};
// The watch being kept; cleared under the lock before the watch goes, so a handler running late
// finds nothing to call.
std::mutex watchMutex;
const std::function<void()>* onPress = nullptr;

BOOL WINAPI onConsoleControl(DWORD event) {
    // Closing the console window, logging off and shutting down keep their usual meaning.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    pressed = true;
    std::lock_guard lock(watchMutex);
    if (onPress) (*onPress)();
    return TRUE;
}

}  // namespace

struct InterruptWatch::System {};

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) : onInterrupt_(std::move(onInterrupt)) {
    pressed = false;
    {
        std::lock_guard lock(watchMutex);
        onPress = &onInterrupt_;
    }
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

InterruptWatch::~InterruptWatch() {
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    std::lock_guard lock(watchMutex);
    onPress = nullptr;
}

bool InterruptWatch::interrupted() {
    return pressed.load();
}

}  // namespace kaldo::cli
