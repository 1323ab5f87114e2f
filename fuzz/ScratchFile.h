#pragma once
// The file a fuzz target writes each input to before its code under test reads it back: in memory
// where the system has /dev/shm, named after the process so that runs side by side never meet, and
// removed when the fuzzer ends its run (a crash leaves it, beside the input that caused it).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace kaldo::fuzz {

inline const std::filesystem::path& scratchFile(const std::string& name) {
    static const std::filesystem::path path = [&name] {
        const std::filesystem::path shm = "/dev/shm";
        const auto folder = std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
        return folder / ("kaldo-fuzz-" + std::to_string(getpid()) + "-" + name);
    }();
    // Registered once the path is made, so that it runs before the path itself is destroyed at exit.
    static const bool removedAtExit = std::atexit([] { std::remove(path.c_str()); }) == 0;
    (void)removedAtExit;
    return path;
}

}  // namespace kaldo::fuzz
