// kaldo-flash send: sends every SysEx message of a ".syx" file, in order, each as one block, as a
// plain SysEx sender does, to any MIDI device. Succeeds once every byte has left.
#include <fstream>
#include <iostream>
#include <iterator>

#include "Commands.h"
#include "MidiDevices.h"
#include "SysExFile.h"
#include "Utf8.h"

namespace kaldo::cli {
namespace {

struct SendOptions {
    std::string file;
    std::string out;
};

int runSend(const SendOptions& options) {
    std::ifstream stream(pathFromUtf8(options.file), std::ios::binary);
    if (!stream) {
        std::cerr << "kaldo-flash: cannot read " << options.file << "\n";
        return kExitFailed;
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    const auto file = midi::sysExMessages(bytes);
    if (!file.problem.empty()) {
        std::cerr << "kaldo-flash: " << options.file << ": " << file.problem << "; nothing sent\n";
        return kExitFailed;
    }

    midi::TMidiOut out(flashMidi());
    const auto device = deviceArgument(deviceNames(out), options.out, "output");
    if (!device) return kExitUsage;
    out.SetPort(*device);
    out.SetUsing(true);
    if (out.openResult() != 0) {
        std::cerr << "kaldo-flash: That port is not ready. (output " << out.deviceName(*device) << ")\n";
        return kExitFailed;
    }
    for (std::size_t i = 0; i < file.messages.size(); ++i) {
        const auto message = file.messages[i];
        if (!out.SysEx(message.data(), message.size())) {
            std::cerr << "kaldo-flash: message " << i + 1 << " of " << file.messages.size() << " (" << message.size()
                      << " bytes) did not leave; the device may have received part of the file\n";
            return kExitFailed;
        }
    }
    std::cout << "Sent " << file.messages.size() << (file.messages.size() == 1 ? " message, " : " messages, ")
              << bytes.size() << " bytes to " << out.deviceName(*device) << "\n";
    return kExitOk;
}

}  // namespace

void addSendCommand(CLI::App& app, int& exitStatus) {
    auto* send = app.add_subcommand("send", "Send the SysEx messages of a .syx file to a MIDI output");
    auto options = std::make_shared<SendOptions>();
    send->add_option("FILE", options->file, "The .syx file")->required();
    send->add_option("--out", options->out, "Output device: number or part of its name")->required();
    send->callback([options, &exitStatus] { exitStatus = runSend(*options); });
}

}  // namespace kaldo::cli
