#pragma once
// Keeps the computer awake while firmware is on its way: a laptop that suspends, or a lid closed in
// the middle of an upload, leaves the amp half-programmed. The upload holds the guard from its start
// to its end, whatever the end. Each platform asks its own power manager (power/); the tests and
// programs without one use NoSleepGuard.
#include <string>

namespace kaldo {

class SleepGuard {
public:
    virtual ~SleepGuard() = default;

    // Asks the system not to sleep until release(). Returns an empty string when it agreed, else one
    // line saying why it could not be asked; the upload goes on either way. Window thread.
    virtual std::string hold() = 0;

    // Lets the system sleep again. Harmless when nothing is held. Window thread.
    virtual void release() = 0;
};

// Holds a guard for as long as it lives, so that every way out of an upload lets go of it.
class SleepHold {
public:
    explicit SleepHold(SleepGuard& guard) : guard_(guard), problem_(guard.hold()) {}
    ~SleepHold() { guard_.release(); }
    SleepHold(const SleepHold&) = delete;
    SleepHold& operator=(const SleepHold&) = delete;

    // Why the system could not be asked; empty when it agreed.
    const std::string& problem() const { return problem_; }

private:
    SleepGuard& guard_;
    std::string problem_;
};

// Asks nobody: for tests, and where the caller already holds a guard for a longer run.
class NoSleepGuard : public SleepGuard {
public:
    std::string hold() override { return {}; }
    void release() override {}
};

}  // namespace kaldo
