// kaldo-amp-sim: a simulated KALDO amplifier on virtual MIDI ports or a raw MIDI device.
#include <pthread.h>
#include <signal.h>

#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <span>
#include <string>
#include <thread>

#include "AmpPorts.h"
#include "AmpSimulator.h"
#ifdef KALDO_RAW_MIDI
#include "RawMidiPort.h"
#endif
#include "ProgramVersion.h"
#include "SimOptions.h"

int main(int argc, char** argv) {
    using namespace kaldo::sim;

    CLI::App app("kaldo-amp-sim");
    SimOptions options;
    describeOptions(app, options);
    app.set_version_flag("--version", std::string("kaldo-amp-sim ") + kaldo::kProgramVersion,
                         "Print the name and version and exit");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version end with 0; a command line that cannot be meant with 2, as in kaldo-flash.
        return app.exit(e) == 0 ? 0 : 2;
    }

    // SIGINT and SIGTERM are taken by one waiting thread: every thread started from here on, the MIDI
    // backend's included, has them blocked, so the ports are closed by the normal way out.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    AmpSimulator simulator(AmpModel(options.revision, options.plan), std::cout, options.transcript,
                           options.writeImage);
    const auto receive = [&simulator](std::span<const std::uint8_t> piece) { simulator.receive(piece); };
    AmpSimulator::Line line;
    std::string where;
    std::unique_ptr<AmpPorts> ports;
#ifdef KALDO_RAW_MIDI
    std::unique_ptr<RawMidiPort> raw;
#endif
    try {
        if (!options.rawMidi.empty()) {
#ifdef KALDO_RAW_MIDI
            raw = std::make_unique<RawMidiPort>(options.rawMidi, options.usbGadget, receive);
            where = raw->description();
            line = {[&raw](std::span<const std::uint8_t> reply) { return raw->send(reply); },
                    [&raw] { raw->leave(); }, [&raw] { return raw->comeBack(); }};
#else
            throw std::runtime_error("raw MIDI devices are ALSA's, on Linux only");
#endif
        } else {
            ports = std::make_unique<AmpPorts>(options.name, receive);
            where = "ports '" + options.name + "' on " + ports->apiName();
            // A restart closes the ports and opens them again under the same names.
            line = {[&ports](std::span<const std::uint8_t> reply) { return ports && ports->send(reply); },
                    [&ports] { ports.reset(); },
                    [&ports, &options, receive] {
                        try {
                            ports = std::make_unique<AmpPorts>(options.name, receive);
                            return true;
                        } catch (const std::exception&) {
                            return false;
                        }
                    }};
        }
    } catch (const std::exception& e) {
        std::cerr << "kaldo-amp-sim: cannot open MIDI ports '"
                  << (options.rawMidi.empty() ? options.name : options.rawMidi) << "': " << e.what() << '\n'
                  << (options.rawMidi.empty() ? "  (needs the ALSA sequencer, /dev/snd/seq, or a running JACK server)\n"
                                              : "");
        return 1;
    }

    std::thread signalWaiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        simulator.stop();
    });
    std::cout << "kaldo-amp-sim ready: " << where << ", revision " << kaldo::versionText(options.revision)
              << std::endl;

    simulator.run(line);
    signalWaiter.join();
    ports.reset();
#ifdef KALDO_RAW_MIDI
    raw.reset();
#endif
    std::cout << "kaldo-amp-sim stopped" << std::endl;
    return 0;
}
