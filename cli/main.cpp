// kaldo-flash: validate firmware files and talk to the amp from a terminal or a script.
#include <CLI/CLI.hpp>

#include <string>

#include "Commands.h"
#include "ProgramVersion.h"

int main(int argc, char** argv) {
    CLI::App app{"kaldo-flash: firmware files and uploads for KALDO amplifiers"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("kaldo-flash ") + kaldo::kProgramVersion,
                         "Print the name and version and exit");
    int exitStatus = kaldo::cli::kExitOk;
    kaldo::cli::addInfoCommand(app, exitStatus);
    kaldo::cli::addListCommand(app, exitStatus);
    kaldo::cli::addIdentifyCommand(app, exitStatus);
    kaldo::cli::addSendCommand(app, exitStatus);
    kaldo::cli::addUploadCommand(app, exitStatus);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : kaldo::cli::kExitUsage;
    }
    return exitStatus;
}
