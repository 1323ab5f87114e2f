// Any file handed to the loader: no crash, no read outside its bytes, and nothing accepted that is not
// made of whole System Exclusive messages, since every accepted byte goes to the amp.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "CollectingUi.h"
#include "FirmwareLoader.h"
#include "Messages.h"
#include "ScratchFile.h"
#include "SharedFlags.h"

namespace {

void requireMessage(std::span<const std::uint8_t> m) {
    if (m.size() < 2 || m.front() != 0xF0 || m.back() != 0xF7) std::abort();
    for (std::size_t i = 1; i + 1 < m.size(); ++i) {
        if (m[i] > 0x7F) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = kaldo::fuzz::scratchFile("loader.syx").string();
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);

    // One loader for the whole run, as the program keeps one: loads follow earlier loads.
    static kaldo::cli::CollectingUi ui;
    static kaldo::SharedFlags flags;
    static kaldo::FirmwareLoader loader(ui, flags);
    ui.messages.clear();
    const int result = loader.ReadFile(file);
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
