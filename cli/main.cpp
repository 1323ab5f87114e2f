// kaldo-flash: validate firmware files and talk to the amp from a terminal or a script.
#include <CLI/CLI.hpp>

#include <string>

#include "Commands.h"
#include "ProgramVersion.h"
#include "Terminal.h"
#include "Utf8.h"

int main(int argc, char** argv) {
    const kaldo::cli::Utf8Console console;
    CLI::App app{"kaldo-flash: firmware files and uploads for KALDO amplifiers"};
    // A path such as /tmp/fw.syx is a file, never a Windows-style /option (CLI11's default there).
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", "kaldo-flash " KALDO_VERSION);
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("kaldo-flash ") + kaldo::kProgramVersion,
                         "Print the name and version and exit");
    int exitStatus = kaldo::cli::kExitOk;
    kaldo::cli::addInfoCommand(app, exitStatus);
    kaldo::cli::addListCommand(app, exitStatus);
    kaldo::cli::addDetectCommand(app, exitStatus);
    kaldo::cli::addIdentifyCommand(app, exitStatus);
    kaldo::cli::addSendCommand(app, exitStatus);
    kaldo::cli::addUploadCommand(app, exitStatus);
    try {
        const kaldo::Utf8Arguments arguments(argc, argv);
        app.parse(arguments.argc(), arguments.argv());
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : kaldo::cli::kExitUsage;
    }
    return exitStatus;
}
