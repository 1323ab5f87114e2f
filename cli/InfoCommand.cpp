// kaldo-flash info: checks a firmware file (or the carried intermediate image) through the same loader
// as the desktop program and describes it.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "CollectingUi.h"
#include "Commands.h"
#include "FirmwareLoader.h"
#include "IntermediateImage.h"
#include "Json.h"
#include "SharedFlags.h"
#include "Utf8.h"

namespace kaldo::cli {
namespace {

struct InfoOptions {
    std::string file;
    bool internal = false;
    bool json = false;
};

std::string hexVersion(PackedVersion v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(v));
    return text;
}

std::optional<std::uintmax_t> sizeOnDisk(const std::string& file) {
    const std::filesystem::path path = pathFromUtf8(file);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return std::nullopt;
    return size;
}

int runInfo(const InfoOptions& options) {
    CollectingUi ui;
    SharedFlags flags;
    flags.intermediateStage = options.internal;
    FirmwareLoader loader(ui, flags);
    const int result = loader.ReadFile(options.file);
    const bool valid = result != kNotLoaded;
    const std::optional<std::uintmax_t> fileSize =
        options.internal ? std::optional<std::uintmax_t>(kIntermediateImageSize) : sizeOnDisk(options.file);

    JsonObject json;
    json.addBool("valid", valid);
    if (!valid) json.addString("error", ui.messages.empty() ? "not loaded" : ui.messages.back());
    if (valid) {
        json.addString("format", result == kPacketFormat ? "packet" : "single-block")
            .addString("version", loader.versionText)
            .addInt("fileVersion", loader.fileVersion)
            .addBool("encrypted", loader.encrypted())
            .addInt("shownSize", loader.shownSize);
    }
    if (fileSize) json.addInt("fileSize", static_cast<std::int64_t>(*fileSize));
    if (result == kPacketFormat) {
        json.addInt("packetCount", loader.packetCount)
            .addInt("packetDataLength", loader.packetDataLength)
            .addInt("packetLength",
                    loader.packetDataLength + static_cast<int>(FirmwareLoader::kHeaderLength));
    }

    if (options.json) {
        std::cout << json.str() << "\n";
    } else {
        std::cout << "file: " << (options.internal ? "Internal" : options.file) << "\n";
        std::cout << "valid: " << (valid ? "yes" : "no") << "\n";
        if (!valid)
            std::cout << "error: " << (ui.messages.empty() ? "not loaded" : ui.messages.back()) << "\n";
        if (valid) {
            std::cout << "format: " << (result == kPacketFormat ? "packet" : "single-block") << "\n"
                      << "version: " << loader.versionText << "\n"
                      << "fileVersion: " << hexVersion(loader.fileVersion) << "\n"
                      << "encrypted: " << (loader.encrypted() ? "yes" : "no") << "\n"
                      << "shownSize: " << loader.shownSize << "\n";
        }
        if (fileSize) std::cout << "fileSize: " << *fileSize << "\n";
        if (result == kPacketFormat) {
            std::cout << "packetCount: " << loader.packetCount << "\n"
                      << "packetDataLength: " << loader.packetDataLength << "\n"
                      << "packetLength: " << loader.packetDataLength + FirmwareLoader::kHeaderLength << "\n";
        }
    }
    return valid ? kExitOk : kExitUsage;
}

}  // namespace

void addInfoCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* info =
        app.add_subcommand("info", "Check a firmware file and describe it; exit 2 when it is not valid");
    auto* file = info->add_option("file", options->file, "Firmware file (.syx)");
    auto* internal =
        info->add_flag("--internal", options->internal, "The intermediate image the program carries");
    info->add_flag("--json", options->json, "One JSON object on stdout");
    file->excludes(internal);
    info->callback([options, &exitStatus] {
        if (options->file.empty() && !options->internal) throw CLI::RequiredError("FILE or --internal");
        exitStatus = runInfo(*options);
    });
}

}  // namespace kaldo::cli
