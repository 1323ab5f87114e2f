// kaldo-make-firmware: writes a KALDO firmware file for tests and demos, valid or broken on purpose.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <vector>

#include "FirmwareWriter.h"

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
    kaldo::tools::FirmwareSpec spec;
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
    app.add_option("--packets", spec.packetCount, "Packet count")->capture_default_str();
    app.add_option("--data-length", spec.packetDataLength, "Data bytes per packet (a packet is 37 more)")
        ->capture_default_str();
    app.add_option("--length", spec.blockLength, "Length of a single-block file")->capture_default_str();
    app.add_option("--flag", spec.encryptionFlag, "Encryption flag byte (1 = encrypted)")
        ->capture_default_str();
    app.add_option("--shown-size", shownSize, "Size the header shows (default: packets x data length)");
    app.add_option("--seed", spec.seed, "Seed of the data bytes")->capture_default_str();
    app.add_option("--set", sets,
                   "Break the file: set byte OFFSET to HEX (OFFSET:HEX, negative from the end)");
    app.add_option("--truncate", truncate, "Break the file: drop this many bytes from its end");
    CLI11_PARSE(app, argc, argv);

    spec.format =
        format == "packet" ? kaldo::tools::FirmwareFormat::Packet : kaldo::tools::FirmwareFormat::SingleBlock;
    const auto packed = kaldo::tools::parseVersionText(version);
    if (!packed) {
        std::cerr << "kaldo-make-firmware: version must look like 02.83\n";
        return 2;
    }
    spec.version = *packed;
    if (app.count("--shown-size")) spec.shownSize = shownSize;

    std::vector<std::uint8_t> bytes = kaldo::tools::makeFirmware(spec);
    for (const auto& edit : sets) {
        if (!applySet(bytes, edit)) {
            std::cerr << "kaldo-make-firmware: cannot apply --set " << edit << "\n";
            return 2;
        }
    }
    bytes.resize(bytes.size() - std::min(truncate, bytes.size()));
    if (!kaldo::tools::writeFile(output, bytes)) {
        std::cerr << "kaldo-make-firmware: cannot write " << output << "\n";
        return 1;
    }
    return 0;
}
