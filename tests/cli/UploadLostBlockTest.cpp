// kaldo-flash upload when the MIDI system loses the block: the amp's port on a model of the ALSA
// sequencer vanishes in the middle of it. The upload fails with its send failure, never "completed".
#include <gtest/gtest.h>

#include <array>

#include "AlsaKernelModel.h"
#include "Commands.h"

namespace kaldo::cli {
namespace {

TEST(FlashUpload, ABlockLostOnTheWayIsAFailedUpload) {
    auto model = std::make_shared<midi::testing::AlsaKernelModel>();
    const auto port = model->addCardPort({.name = "KALDO Amp MIDI 1", .bytesPerSecond = 100000});
    model->vanishAfter(port, 20000);

    CLI::App app;
    int exitStatus = kExitOk;
    addUploadCommand(app, exitStatus, [model] { return model->backend(); });
    std::array<const char*, 6> argv{"kaldo-flash", "upload", "--internal", "--out", "KALDO Amp", "--json"};
    ::testing::internal::CaptureStdout();
    app.parse(static_cast<int>(argv.size()), argv.data());
    const std::string out = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(exitStatus, kExitFailed) << out;
    EXPECT_NE(
        out.find(
            R"("event":"message","caption":"Midi Error","text":"Error. The firmware could not be sent to the MIDI device. Power cycle amp and try again.")"),
        std::string::npos)
        << out;
    EXPECT_NE(
        out.find(R"("event":"result","outcome":"failed","errors":0,"way":"single","failure":"send-failed")"),
        std::string::npos)
        << out;
    EXPECT_LT(model->arrived(port).size(), 52576u);
}

}  // namespace
}  // namespace kaldo::cli
