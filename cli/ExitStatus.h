#pragma once
// kaldo-flash's exit statuses, shared by its subcommands and the uploads they run.

namespace kaldo::cli {

enum Exit : int {
    kExitOk = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    kExitTerminated = 3,
    kExitDeclined = 4,
};

}  // namespace kaldo::cli
