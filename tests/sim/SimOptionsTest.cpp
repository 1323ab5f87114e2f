#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "SimOptions.h"

using namespace kaldo::sim;

namespace {

SimOptions parse(std::vector<std::string> args) {
    CLI::App app;
    SimOptions options;
    describeOptions(app, options);
    std::reverse(args.begin(), args.end());  // CLI11 takes the arguments last first
    app.parse(args);
    return options;
}

}  // namespace

TEST(SimOptions, RevisionsAsTheAmpAndTheWizardWriteThem) {
    EXPECT_EQ(parseRevision("02.83"), 0x00020803u);
    EXPECT_EQ(parseRevision("1.02"), 0x00010002u);
    for (const char* bad : {"", "2.8", "0283", "02,83", "02.8x", "102.83", "-1.02"}) {
        EXPECT_FALSE(parseRevision(bad)) << bad;
    }
}

TEST(SimOptions, FaultPlanFromTheCommandLine) {
    const auto o = parse({"--revision",
                          "01.59",
                          "--silent-at",
                          "Packet",
                          "--silent-packet",
                          "4",
                          "--packet-error",
                          "1",
                          "--packet-error",
                          "3",
                          "--verify-fails",
                          "--reply-delay",
                          "20",
                          "--ready-delay",
                          "250",
                          "--programming-delay",
                          "0",
                          "--foreign-sysex",
                          "status-like",
                          "--foreign-identity",
                          "--duplicate-replies",
                          "--keep-revision",
                          "--short-replies",
                          "--vanish-at-packet",
                          "7",
                          "--write-image",
                          "out.syx",
                          "--transcript",
                          "--name",
                          "Bench Amp"});
    EXPECT_EQ(o.revision, 0x00010509u);
    EXPECT_EQ(o.plan.silentAt, Stage::Packet);
    EXPECT_EQ(o.plan.silentPacket, 4);
    EXPECT_EQ(o.plan.packetErrors, (std::set<int>{1, 3}));
    EXPECT_FALSE(o.plan.allPacketsError);
    EXPECT_TRUE(o.plan.verifyFails);
    EXPECT_EQ(o.plan.replyDelayMs, 20);
    EXPECT_EQ(o.plan.readyDelayMs, 250);
    EXPECT_EQ(o.plan.programmingDelayMs, 0);
    EXPECT_EQ(o.plan.foreignSysEx, ForeignSysEx::StatusLike);
    EXPECT_TRUE(o.plan.foreignIdentity);
    EXPECT_TRUE(o.plan.duplicateReplies);
    EXPECT_TRUE(o.plan.keepsRevision);
    EXPECT_TRUE(o.plan.shortReplies);
    EXPECT_EQ(o.plan.vanishAtPacket, 7);
    EXPECT_EQ(o.writeImage, "out.syx");
    EXPECT_TRUE(o.transcript);
    EXPECT_EQ(o.name, "Bench Amp");

    EXPECT_EQ(parse({"--maker", "00206b"}).plan.otherMaker, (std::vector<std::uint8_t>{0x00, 0x20, 0x6B}));
    EXPECT_EQ(parse({"--maker", "43"}).plan.otherMaker, std::vector<std::uint8_t>{0x43});

    const auto defaults = parse({});
    EXPECT_EQ(defaults.revision, 0x00020803u);
    EXPECT_EQ(defaults.name, "KALDO Amp Sim");
    EXPECT_EQ(defaults.plan.silentAt, Stage::None);
}

TEST(SimOptions, RefusesWhatCannotBeMeant) {
    EXPECT_THROW(parse({"--revision", "2.8x"}), CLI::ValidationError);
    EXPECT_THROW(parse({"--silent-packet", "2"}), CLI::ValidationError);
    EXPECT_THROW(parse({"--silent-at", "header", "--silent-packet", "2"}), CLI::ValidationError);
    EXPECT_THROW(parse({"--silent-at", "later"}), CLI::ValidationError);
    EXPECT_THROW(parse({"--packet-error", "-1"}), CLI::ValidationError);
    EXPECT_THROW(parse({"--foreign-sysex", "loud"}), CLI::ValidationError);
    // A restart's details without the restart, a gadget without its raw device.
    EXPECT_THROW(parse({"--never-back"}), CLI::ParseError);
    EXPECT_THROW(parse({"--midi-ready-after", "500"}), CLI::ParseError);
    EXPECT_THROW(parse({"--usb-gadget", "/sys/kernel/config/usb_gadget/amp0"}), CLI::ParseError);
    for (const char* maker : {"00", "4", "80", "01206B", "0020", "zz"}) {
        EXPECT_THROW(parse({"--maker", maker}), CLI::ValidationError) << maker;
    }
}

TEST(SimOptions, StagesGoByTheirNamesOnly) {
    CLI::App app;
    SimOptions options;
    describeOptions(app, options);
    const std::string help = app.help();
    EXPECT_NE(help.find("identity, header, packet, verify or program"), std::string::npos) << help;
    EXPECT_EQ(help.find("->"), std::string::npos) << help;
    EXPECT_THROW(parse({"--silent-at", "3"}), CLI::ValidationError);  // the enum's number for packet
    try {
        parse({"--silent-at", "later"});
        FAIL() << "later was taken";
    } catch (const CLI::ValidationError& e) {
        EXPECT_EQ(std::string(e.what()).find("->"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("verify"), std::string::npos) << e.what();
    }
}
