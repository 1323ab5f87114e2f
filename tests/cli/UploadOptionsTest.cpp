// kaldo-flash upload's command line as a user meets it: the help and the refusals.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <string>

#include "Commands.h"

namespace kaldo::cli {
namespace {

// The upload subcommand alone, as kaldo-flash registers it.
struct UploadCommandLine {
    CLI::App app;
    int exitStatus = kExitOk;
    UploadCommandLine() { addUploadCommand(app, exitStatus); }
};

TEST(UploadOptions, ModesGoByTheirNamesOnly) {
    UploadCommandLine line;
    const std::string help = line.app.get_subcommand("upload")->help();
    EXPECT_NE(help.find("auto, single, handshake or blind"), std::string::npos) << help;
    EXPECT_EQ(help.find("->"), std::string::npos) << help;

    // Refused while parsing, before anything is opened or sent; "2" is the enum's number for handshake.
    for (const char* mode : {"2", "fast"}) {
        SCOPED_TRACE(mode);
        UploadCommandLine refusing;
        try {
            refusing.app.parse(std::string("upload --out nowhere --mode ") + mode, false);
            FAIL() << "taken";
        } catch (const CLI::ValidationError& e) {
            EXPECT_NE(std::string(e.what()).find("handshake"), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).find("->"), std::string::npos) << e.what();
        }
        EXPECT_EQ(refusing.exitStatus, kExitOk);
    }
}

}  // namespace
}  // namespace kaldo::cli
