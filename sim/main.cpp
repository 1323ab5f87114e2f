// kaldo-amp-sim: a simulated KALDO amplifier on virtual MIDI ports.
#include <pthread.h>
#include <signal.h>

#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#include <memory>
#include <span>
#include <string>
#include <thread>

#include "AmpPorts.h"
#include "AmpSimulator.h"
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
    std::unique_ptr<AmpPorts> ports;
    try {
        ports = std::make_unique<AmpPorts>(
            options.name, [&simulator](std::span<const std::uint8_t> piece) { simulator.receive(piece); });
    } catch (const std::exception& e) {
        std::cerr << "kaldo-amp-sim: cannot open MIDI ports '" << options.name << "': " << e.what() << '\n'
                  << "  (needs the ALSA sequencer, /dev/snd/seq, or a running JACK server)\n";
        return 1;
    }

    std::thread signalWaiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        simulator.stop();
    });
    std::cout << "kaldo-amp-sim ready: ports '" << options.name << "' on " << ports->apiName()
              << ", revision " << kaldo::versionText(options.revision) << std::endl;

    simulator.run([&ports](std::span<const std::uint8_t> reply) { return ports->send(reply); },
                  [&ports] { ports->close(); });
    signalWaiter.join();
    ports.reset();
    std::cout << "kaldo-amp-sim stopped" << std::endl;
    return 0;
}
