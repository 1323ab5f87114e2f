// kaldo-flash's terminal ports of the engine: the --json events a script reads, the progress the
// gauge calls mean and the answers to the version questions.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "TerminalUi.h"

namespace kaldo::cli {
namespace {

std::vector<std::string> lines(const std::ostringstream& out) {
    std::vector<std::string> result;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

struct JsonUi {
    explicit JsonUi(TerminalOptions options = {true, false, false, false})
        : ui(out, options, [this] { return now; }) {}
    std::ostringstream out;
    std::int64_t now = 1000;
    TerminalUi ui;
};

// The engine shows the gauge, sets its progress to 0 and its maximum last; after packet i (from 0)
// it sets the progress to i. Each step is one event, counted in packets sent.
TEST(TerminalUi, PacketProgressCountsPacketsSentFromTheMaximumOn) {
    JsonUi t;
    int errors = 0;
    t.ui.errorCount = [&errors] { return errors; };
    t.ui.beginUpload(true);
    t.ui.setGaugeVisible(true);
    t.ui.setGaugeProgress(0);
    t.ui.setGaugeMax(3);
    t.now += 600;
    t.ui.setGaugeProgress(0);
    t.now += 600;
    errors = 1;
    t.ui.setGaugeProgress(1);
    t.ui.setGaugeProgress(1);  // unchanged: no new step
    EXPECT_TRUE(t.ui.packetsRemain());
    t.now += 1200;
    t.ui.setGaugeProgress(3);
    EXPECT_FALSE(t.ui.packetsRemain());  // a cancel request now has no packet check left to end at
    EXPECT_EQ(lines(t.out),
              (std::vector<std::string>{
                  R"({"event":"progress","packet":0,"packets":4,"percent":0,"elapsedMs":0,"errors":0})",
                  R"({"event":"progress","packet":1,"packets":4,"percent":25,"elapsedMs":600,"remainingMs":1800,"errors":0})",
                  R"({"event":"progress","packet":2,"packets":4,"percent":50,"elapsedMs":1200,"remainingMs":1200,"errors":1})",
                  R"({"event":"progress","packet":4,"packets":4,"percent":100,"elapsedMs":2400,"remainingMs":0,"errors":1})",
              }));
}

TEST(TerminalUi, SingleBlockProgressIsPercent) {
    JsonUi t;
    t.ui.beginUpload(false);
    t.ui.setGaugeProgress(0);
    t.ui.setGaugeVisible(true);
    t.ui.setGaugeMax(100);
    t.now += 500;
    t.ui.setGaugeProgress(25);
    t.ui.setGaugeVisible(false);
    t.ui.setGaugeProgress(30);  // a hidden gauge reports nothing
    EXPECT_EQ(lines(t.out), (std::vector<std::string>{
                                R"({"event":"progress","percent":0,"elapsedMs":0})",
                                R"({"event":"progress","percent":25,"elapsedMs":500,"remainingMs":1500})",
                            }));
}

TEST(TerminalUi, StatusTextsAndMessagesAreEventsBlanksAreNot) {
    JsonUi t;
    t.ui.setStatus2(3, " ");
    t.ui.setStatus2(2, " ");
    t.ui.setStatus1(1, "Version 02.83");
    t.ui.setStatus2(3, "Status -> Waiting for code Verify.");
    t.ui.setStatus2(2, "Packet Error Count 1");
    t.ui.messageBox("An Error occurred. Try again.", "Status", Buttons::Ok);
    t.ui.dialogMessage("Looks good! Unplug the USB cable and power cycle the amp.");
    t.ui.setWarningBlink(true);
    t.ui.setWarningBlink(true);  // still blinking: said once
    t.ui.showAmpVersion("02.83", false);
    t.ui.showAmpVersion("02.83", false);
    EXPECT_EQ(lines(t.out),
              (std::vector<std::string>{
                  R"({"event":"status","panel":3,"text":"Status -> Waiting for code Verify."})",
                  R"({"event":"status","panel":2,"text":"Packet Error Count 1"})",
                  R"({"event":"message","caption":"Status","text":"An Error occurred. Try again."})",
                  R"({"event":"message","caption":"","text":"Looks good! Unplug the USB cable and power cycle the amp."})",
                  R"({"event":"warning","text":"Programming in Progress. Do not turn off amp."})",
                  R"({"event":"amp","version":"02.83"})",
              }));
}

TEST(TerminalUi, VersionQuestionsAnswerOkOnlyWithYes) {
    const std::string question = "You are trying to load code that is older than the current revision, Continue?";
    JsonUi declined;
    declined.ui.beginUpload(true);
    EXPECT_EQ(declined.ui.messageBox(question, "", Buttons::OkCancel), Answer::Cancel);
    EXPECT_EQ(lines(declined.out).at(0),
              R"({"event":"question","text":")" + question + R"(","answer":"cancel","by":"no terminal"})");

    JsonUi yes(TerminalOptions{true, true, false, false});
    yes.ui.beginUpload(true);
    EXPECT_EQ(yes.ui.messageBox(question, "", Buttons::OkCancel), Answer::Ok);
    EXPECT_EQ(lines(yes.out).at(0), R"({"event":"question","text":")" + question + R"(","answer":"ok","by":"--yes"})");

    // Before the upload an OK/Cancel box is the loader's file error: a message, whatever --yes says.
    JsonUi loading(TerminalOptions{true, false, false, false});
    EXPECT_EQ(loading.ui.messageBox("Can't perform one of the following file operations: Open, Seek, Read, Close.",
                                    "File Error", Buttons::OkCancel),
              Answer::Ok);
    EXPECT_NE(lines(loading.out).at(0).find(R"("event":"message")"), std::string::npos);
}

TEST(TerminalUi, UsbOfferIsDeclinedAndPortSelectionRemembersConfirmation) {
    JsonUi t;
    EXPECT_FALSE(t.ui.dialogQuestion("Do you want to setup the KALDO USB MIDI interface?"));
    EXPECT_FALSE(t.ui.confirmationAsked());
    t.ui.dialogPortSelection("Now select the MIDI device.", true);
    EXPECT_TRUE(t.ui.confirmationAsked());
    EXPECT_EQ(lines(t.out).at(0),
              R"({"event":"question","text":"Do you want to setup the KALDO USB MIDI interface?","answer":"no","by":"kaldo-flash"})");
}

TEST(TerminalUi, HumanFormHasNoJsonAndKeepsTheFinalBar) {
    std::ostringstream out;
    std::int64_t now = 0;
    TerminalUi ui(out, TerminalOptions{false, false, false, true}, [&now] { return now; });
    ui.beginUpload(true);
    ui.setGaugeVisible(true);
    ui.setGaugeMax(1);
    ui.setStatus2(3, "Status -> Sending packet number 1 of 2");  // on the bar, not a line of its own
    now += 61000;
    ui.setGaugeProgress(0);
    ui.setStatus2(3, "Status -> Waiting for code Verify.");
    ui.setGaugeVisible(false);
    const std::string text = out.str();
    EXPECT_EQ(text.find('{'), std::string::npos);
    EXPECT_EQ(text.find("Sending packet number"), std::string::npos);
    EXPECT_NE(text.find("packet 1 of 2  50%  1:01 elapsed  1:01 left  0 packet errors"), std::string::npos);
    EXPECT_NE(text.find("Status -> Waiting for code Verify.\n"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

}  // namespace
}  // namespace kaldo::cli
