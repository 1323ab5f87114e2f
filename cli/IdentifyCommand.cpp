// kaldo-flash identify: asks the amp for its firmware revision with the MIDI Identity Request, as
// the updater's connection test does, and prints what it answers.
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <optional>

#include "AmpsOnTheLine.h"
#include "Commands.h"
#include "Json.h"
#include "Messages.h"
#include "MidiDevices.h"

namespace kaldo::cli {
namespace {

struct IdentifyOptions {
    std::string out;
    std::string in;
    int timeoutMs = 2000;
    bool json = false;
};

// The reply as the input thread hands it over.
struct AwaitedReply {
    std::mutex mutex;
    std::condition_variable arrived;
    std::optional<IdentityReply> reply;
};

int runIdentify(IdentifyOptions options) {
    const auto backend = flashMidi();
    if (options.out.empty() != options.in.empty()) {
        std::cerr << "kaldo-flash: name both --out and --in, or neither to look for the amp\n";
        return kExitUsage;
    }
    if (options.out.empty()) {
        const OnlyAmp only = theOnlyAmp(detectAmps(backend));
        if (!only.amp) {
            std::cerr << "kaldo-flash: " << only.problem << "\n";
            return only.exitStatus;
        }
        const FoundAmp* amp = &*only.amp;
        // Named exactly: the numbering may have moved since.
        options.out = amp->out.name;
        options.in = amp->in.name;
        if (!options.json) std::cout << "Found the amp on " << amp->out.name << " / " << amp->in.name << "\n";
    }
    midi::TMidiOut out(backend);
    midi::TMidiIn in(backend);
    const auto outDevice = deviceArgument(deviceNames(out), options.out, "output");
    const auto inDevice = deviceArgument(deviceNames(in), options.in, "input");
    if (!outDevice || !inDevice) return kExitUsage;

    AwaitedReply awaited;
    in.OnSysEx = [&awaited](midi::TMidiIn&, const std::uint8_t* bytes, int size) {
        const auto reply = identityReplyOf(std::span(bytes, static_cast<std::size_t>(size)));
        if (!reply) return;
        std::lock_guard lock(awaited.mutex);
        awaited.reply = reply;
        awaited.arrived.notify_all();
    };
    in.SetPort(*inDevice);
    in.SetUsing(true);
    out.SetPort(*outDevice);
    out.SetUsing(true);
    if (in.openResult() != 0 || out.openResult() != 0) {
        std::cerr << "kaldo-flash: That port is not ready. ("
                  << (out.openResult() != 0 ? "output " + out.deviceName(*outDevice) : "input " + in.deviceName(*inDevice))
                  << ")\n";
        return kExitFailed;
    }
    if (!out.SysEx(kIdentityRequest.data(), kIdentityRequest.size())) {
        std::cerr << "kaldo-flash: the Identity Request could not be sent\n";
        return kExitFailed;
    }
    std::optional<IdentityReply> reply;
    {
        std::unique_lock lock(awaited.mutex);
        awaited.arrived.wait_for(lock, std::chrono::milliseconds(options.timeoutMs), [&] { return awaited.reply.has_value(); });
        reply = awaited.reply;
    }
    in.SetUsing(false);  // no handler call after this, so awaited may go
    if (!reply) {
        std::cerr << "kaldo-flash: no Identity Reply within " << options.timeoutMs << " ms\n";
        return kExitFailed;
    }
    if (options.json) {
        std::cout << JsonObject().addString("version", reply->text).addInt("packed", reply->version).str() << "\n";
    } else {
        std::cout << "Amp revision " << reply->text << "\n";
    }
    return kExitOk;
}

}  // namespace

void addIdentifyCommand(CLI::App& app, int& exitStatus) {
    auto* identify = app.add_subcommand("identify", "Read the amp's firmware revision (MIDI Identity Request)");
    auto options = std::make_shared<IdentifyOptions>();
    identify->add_option("--out", options->out,
                         "Output device: number or part of its name; with neither --out nor --in the amp is looked for");
    identify->add_option("--in", options->in, "Input device: number or part of its name");
    identify->add_option("--timeout", options->timeoutMs, "How long to wait for the reply, in ms")
        ->check(CLI::Range(1, 600000));
    identify->add_flag("--json", options->json, "Print JSON");
    identify->callback([options, &exitStatus] { exitStatus = runIdentify(*options); });
}

}  // namespace kaldo::cli
