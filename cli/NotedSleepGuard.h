#pragma once
// The computer kept awake through kaldo-flash's run, and a note on the terminal (or a "note" event)
// when the system cannot be asked: the upload goes on either way.
#include <memory>
#include <string>

#include "Json.h"
#include "SleepGuard.h"
#include "TerminalUi.h"

namespace kaldo::cli {

class NotedSleepGuard : public SleepGuard {
public:
    NotedSleepGuard(std::unique_ptr<SleepGuard> guard, TerminalUi& ui) : guard_(std::move(guard)), ui_(ui) {}

    std::string hold() override {
        std::string problem = guard_->hold();
        if (!problem.empty())
            ui_.event(JsonObject().addString("event", "note").addString("text", problem), problem);
        return problem;
    }
    void release() override { guard_->release(); }

private:
    std::unique_ptr<SleepGuard> guard_;
    TerminalUi& ui_;
};

}  // namespace kaldo::cli
