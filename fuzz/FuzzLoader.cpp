// Any file handed to the loader: no crash, no read outside its bytes, and nothing accepted that is not
// made of whole System Exclusive messages, since every accepted byte goes to the amp.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "CollectingUi.h"
#include "FirmwareLoader.h"
#include "Messages.h"
#include "SharedFlags.h"

namespace {

const std::string& scratchFile() {
    static const std::string path = [] {
        const std::filesystem::path shm = "/dev/shm";
        const auto folder = std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
        return (folder / ("kaldo-fuzz-loader-" + std::to_string(getpid()) + ".syx")).string();
    }();
    return path;
}

void requireMessage(std::span<const std::uint8_t> m) {
    if (m.size() < 2 || m.front() != 0xF0 || m.back() != 0xF7) std::abort();
    for (std::size_t i = 1; i + 1 < m.size(); ++i) {
        if (m[i] > 0x7F) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(scratchFile().c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);

    // One loader for the whole run, as the program keeps one: loads follow earlier loads.
    static kaldo::cli::CollectingUi ui;
    static kaldo::SharedFlags flags;
    static kaldo::FirmwareLoader loader(ui, flags);
    ui.messages.clear();
    const int result = loader.ReadFile(scratchFile());
    const std::span<const std::uint8_t> image(loader.image(), loader.imageSize());
    if (result == kaldo::kNotLoaded) {
        if (ui.messages.size() != 1) std::abort();
    } else if (result == kaldo::kSingleBlock) {
        requireMessage(image);
    } else {
        requireMessage(kaldo::headerMessage(image));
        for (int k = 0; k < loader.packetCount; ++k)
            requireMessage(kaldo::packetMessage(image, loader.packetDataLength, k));
    }
    return 0;
}
