// kaldo-flash upload --confirm after the amp has programmed the file: an amp whose MIDI is up a
// moment after its ports does not hear the first questions and is asked again until it answers, and
// one that never answers is said to have not answered, with no revision it did not send. The amp is
// the simulator's model on an in-memory MIDI system; the upload runs on the steady clock.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <mutex>

#include "AmpModel.h"
#include "Commands.h"
#include "FakeMidi.h"
#include "FirmwareWriter.h"
#include "Messages.h"
#include "TempDir.h"

namespace kaldo::cli {
namespace {

using Clock = std::chrono::steady_clock;

struct Case {
    const char* what;
    std::optional<std::chrono::milliseconds> deafAfterProgramming;  // none: it never answers again
    int exitStatus;
    const char* result;  // the result line's end
};

TEST(FlashConfirm, AsksAgainUntilTheTimeOutAndReportsOnlyWhatTheAmpSaid) {
    const std::vector<Case> cases{
        {"deaf for a moment", std::chrono::milliseconds(500), kExitOk,
         R"("confirmed":true,"ampVersion":"02.83","exit":0})"},
        {"never answers", std::nullopt, kExitFailed,
         R"("confirmed":false,"error":"The amp did not answer after the upload, so its new revision was not confirmed.","exit":1})"},
    };
    test::TempDir dir;
    const auto file = dir.path() / "fw.syx";
    tools::FirmwareOptions firmware;
    firmware.version = 0x00020803;
    firmware.packetCount = 1;
    firmware.packetDataLength = 64;
    tools::writeFile(file, tools::makeFirmware(firmware));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto midi = std::make_shared<midi::testing::FakeMidi>();
        midi->outputs = {"KALDO Amp In"};
        midi->inputs = {"KALDO Amp Out"};
        sim::FaultPlan plan;
        plan.replyDelayMs = plan.readyDelayMs = plan.verifyDelayMs = plan.programmingDelayMs = 0;
        sim::AmpModel amp(0x00020800, plan);
        std::mutex mutex;
        bool programmed = false;
        std::optional<Clock::time_point> hearsFrom;
        midi->answer = [&](const std::string&, std::vector<std::uint8_t> block) {
            std::vector<std::vector<std::uint8_t>> replies;
            {
                std::lock_guard lock(mutex);
                const bool question =
                    block == std::vector<std::uint8_t>(kIdentityRequest.begin(), kIdentityRequest.end());
                if (programmed && question) {
                    if (!c.deafAfterProgramming) return;
                    if (!hearsFrom) hearsFrom = Clock::now() + *c.deafAfterProgramming;
                    if (Clock::now() < *hearsFrom) return;
                }
                for (auto& reply : amp.receive(block)) {
                    programmed = programmed || replyCodeOf(reply.bytes) == kReplyProgrammed;
                    replies.push_back(std::move(reply.bytes));
                }
            }
            for (auto& reply : replies) midi->inject("KALDO Amp Out", std::move(reply));
        };

        CLI::App app;
        int exitStatus = -1;
        addUploadCommand(app, exitStatus, [midi] { return midi; });
        const std::string path = file.string();
        std::array<const char*, 10> argv{"kaldo-flash",  "upload", path.c_str(),    "--out",
                                         "KALDO Amp In", "--in",   "KALDO Amp Out", "--confirm",
                                         "--yes",        "--json"};
        ::testing::internal::CaptureStdout();
        app.parse(static_cast<int>(argv.size()), argv.data());
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(exitStatus, c.exitStatus) << out;
        const std::size_t result = out.find(R"({"event":"result")");
        ASSERT_NE(result, std::string::npos) << out;
        EXPECT_NE(out.find(c.result, result), std::string::npos) << out.substr(result);
    }
}

}  // namespace
}  // namespace kaldo::cli
