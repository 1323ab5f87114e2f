// kaldo-make-firmware: writes a KALDO firmware file for tests and demos, valid or broken on purpose.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <vector>

#include "FirmwareWriter.h"
#include "Utf8.h"

namespace {

// "OFFSET:HEX", a negative offset counting from the end of the file.
bool applySet(std::vector<std::uint8_t>& bytes, const std::string& edit) {
    const auto colon = edit.find(':');
    if (colon == std::string::npos) return false;
    try {
        long long offset = std::stoll(edit.substr(0, colon));
        const unsigned long value = std::stoul(edit.substr(colon + 1), nullptr, 16);
        if (offset < 0) offset += static_cast<long long>(bytes.size());
        if (offset < 0 || offset >= static_cast<long long>(bytes.size()) || value > 0xFF) return false;
        bytes[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(value);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kaldo-make-firmware: write a KALDO firmware (.syx) file for tests and demos"};
    app.allow_windows_style_options(false);  // "-o /tmp/fw.syx" names a file on every system
    kaldo::tools::FirmwareOptions options;
    std::string output;
    std::string format = "packet";
    std::string version = "02.83";
    std::uint32_t shownSize = 0;
    std::size_t truncate = 0;
    std::vector<std::string> sets;
    app.add_option("-o,--output", output, "File to write")->required();
    app.add_option("--format", format, "single-block or packet")
        ->check(CLI::IsMember({"single-block", "packet"}))
        ->capture_default_str();
    app.add_option("--version", version, "Version of a packet file, as 02.83")->capture_default_str();
    app.add_option("--packets", options.packetCount, "Packet count")->capture_default_str();
    app.add_option("--data-length", options.packetDataLength, "Data bytes per packet (a packet is 37 more)")
        ->capture_default_str();
    app.add_option("--length", options.blockLength, "Length of a single-block file")->capture_default_str();
    app.add_option("--flag", options.encryptionFlag, "Encryption flag byte (1 = encrypted)")
        ->capture_default_str();
    app.add_option("--shown-size", shownSize, "Size the header shows (default: packets x data length)");
    app.add_option("--seed", options.seed, "Seed of the data bytes")->capture_default_str();
    app.add_option("--set", sets,
                   "Break the file: set byte OFFSET to HEX (OFFSET:HEX, negative from the end)");
    app.add_option("--truncate", truncate, "Break the file: drop this many bytes from its end");
    const kaldo::Utf8Arguments arguments(argc, argv);
    CLI11_PARSE(app, arguments.argc(), arguments.argv());

    options.format =
        format == "packet" ? kaldo::tools::FirmwareFormat::Packet : kaldo::tools::FirmwareFormat::SingleBlock;
    const auto packed = kaldo::tools::parseVersionText(version);
    if (!packed) {
        std::cerr << "kaldo-make-firmware: version must look like 02.83\n";
        return 2;
    }
    options.version = *packed;
    if (app.count("--shown-size")) options.shownSize = shownSize;

    std::vector<std::uint8_t> bytes = kaldo::tools::makeFirmware(options);
    for (const auto& edit : sets) {
        if (!applySet(bytes, edit)) {
            std::cerr << "kaldo-make-firmware: cannot apply --set " << edit << "\n";
            return 2;
        }
    }
    bytes.resize(bytes.size() - std::min(truncate, bytes.size()));
    if (!kaldo::tools::writeFile(kaldo::pathFromUtf8(output), bytes)) {
        std::cerr << "kaldo-make-firmware: cannot write " << output << "\n";
        return 1;
    }
    return 0;
}
