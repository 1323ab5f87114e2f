// kaldo-flash upload: the desktop program's "Upload Code" from a terminal or a script, on the same
// engine, over the real MIDI ports (AmpUpload); with --all to every amp on the line at once
// (AllAmpsUpload). Ctrl-C is the cancel button; --confirm asks the amp for its revision afterwards, as
// the confirmation dialog does.
#include <iostream>
#include <map>
#include <memory>

#include "AllAmpsUpload.h"
#include "AmpUpload.h"
#include "Commands.h"
#include "Interrupt.h"
#include "Terminal.h"

namespace kaldo::cli {

void addUploadCommand(CLI::App& app, int& exitStatus, MidiSystem midi) {
    auto options = std::make_shared<UploadOptions>();
    CLI::App* upload = app.add_subcommand("upload",
                                          "Send a firmware file to the amp. Exit 0 completed, 1 failed, 2 "
                                          "bad usage or invalid file, 3 terminated "
                                          "(Ctrl-C), 4 declined at a version question");
    auto* file = upload->add_option("file", options->file, "Firmware file (.syx)");
    auto* internal =
        upload->add_flag("--internal", options->internal, "The intermediate image the program carries");
    file->excludes(internal);
    upload->add_option(
        "--out", options->out,
        "MIDI output to the amp: number, name or part of a name. With neither --out nor --in the "
        "amp is looked for (see detect), and the only one that answers is taken");
    upload->add_option("--in", options->in,
                       "MIDI input from the amp (its replies): number, name or part of a name");
    const std::map<std::string, Mode> modes{{"auto", Mode::Auto},
                                            {"single", Mode::Single},
                                            {"handshake", Mode::Handshake},
                                            {"blind", Mode::Blind}};
    // Help and errors name the modes only, never the numbers the transformer maps them to.
    upload
        ->add_option("--mode", options->mode,
                     "auto, single, handshake or blind (auto: as the desktop program chooses)")
        ->type_name("MODE")
        ->transform(CLI::CheckedTransformer(modes, CLI::ignore_case).description(""))
        ->transform(CLI::IsMember(modes, CLI::ignore_case).description(""));
    upload->add_flag("--yes", options->yes, "Answer OK to the questions about older or equal code");
    upload->add_flag("--confirm", options->confirm,
                     "After a handshake upload, wait for the amp's ports and confirm its new revision");
    upload->add_flag("--json", options->json, "One JSON object per line on stdout for every event");
    upload->add_flag(
        "--all", options->all,
        "Every amp that answers on the line (see detect) gets the file at once, each on an engine of "
        "its own; the exit status is the worst of theirs");
    upload->callback([options, &exitStatus, midi] {
        if (options->all) {
            if (!options->out.empty() || !options->in.empty()) {
                std::cerr << "kaldo-flash upload: --all finds the amps itself: leave out --out and --in\n";
                exitStatus = kExitUsage;
                return;
            }
            exitStatus = uploadToAllAmps(*options, midi);
            return;
        }
        const auto backend = midi();
        AmpUpload run(*options, backend,
                      TerminalOptions{options->json, options->yes, inputIsTerminal(), canRedrawLines()});
        InterruptWatch watch([&run] { run.cancel(); });
        const auto devices = backend->watchDevices([&run] { run.devicesChanged(); });
        exitStatus = run.run().exitStatus;
    });
}

}  // namespace kaldo::cli
