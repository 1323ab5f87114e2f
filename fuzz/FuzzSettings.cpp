// Any settings file: reading it never fails, and a stale one never gives back a position or a firmware
// file, however its sections are spelt or repeated.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ScratchFile.h"
#include "Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path& path = kaldo::fuzz::scratchFile("settings.INI");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);

    const kaldo::Settings settings(path);
    const kaldo::StartupSettings first = settings.load();
    if (first.version != kaldo::Settings::kFormatVersion &&
        (first.top != 100 || first.left != 100 || first.firmwareFile)) {
        std::abort();
    }
    // What the first load left on disk reads the same again.
    const kaldo::StartupSettings again = settings.load();
    if (again.version != first.version || again.firstTime != first.firstTime || again.top != first.top ||
        again.left != first.left || again.firmwareFile != first.firmwareFile) {
        std::abort();
    }
    return 0;
}
