// The time limit around a MIDI system that hangs: what was opened or asked late is closed again on its
// own thread, and what a port receives after our side let go of it reaches nobody.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "BoundedMidi.h"
#include "FakeMidi.h"

namespace kaldo::midi {
namespace {

using namespace std::chrono_literals;

// Polls until done() or five seconds passed.
template <class Done>
bool eventually(Done done) {
    for (int i = 0; i < 500 && !done(); ++i) std::this_thread::sleep_for(10ms);
    return done();
}

struct Rig {
    std::shared_ptr<testing::FakeMidi> system = std::make_shared<testing::FakeMidi>();
    BoundedMidi midi{system, 200ms};
    Rig() {
        system->name = "JACK";
        system->outputs = {"Amp In"};
        system->inputs = {"Amp Out"};
    }
    ~Rig() {
        system->answerAgain();
        eventually([this] { return system->hungCalls() == 0; });
    }
};

TEST(BoundedMidi, WhatALateCallOpenedIsClosedAndTheSystemAnswersAgain) {
    Rig rig;
    std::atomic<int> told{0};
    rig.midi.setOnAnswering([&] { ++told; });
    rig.system->hang();
    EXPECT_EQ(rig.midi.openOutput("Amp In").result, kResultError);
    EXPECT_EQ(rig.midi.silence(), "JACK did not answer within 0.2 s");
    // Nothing more is asked while the late call is out.
    EXPECT_TRUE(rig.midi.inputNames().empty());
    EXPECT_EQ(rig.system->hungCalls(), 1);

    rig.system->answerAgain();
    ASSERT_TRUE(eventually([&] { return rig.midi.silentSystem().empty(); }));
    EXPECT_TRUE(eventually([&] { return rig.system->openOutputs().empty(); }));
    EXPECT_TRUE(eventually([&] { return told == 1; }));
    EXPECT_EQ(rig.midi.inputNames(), std::vector<std::string>{"Amp Out"});
}

TEST(BoundedMidi, AnInputClosedWhileTheSystemHangsHandsNothingOn) {
    Rig rig;
    int received = 0;
    auto opened = rig.midi.openInput("Amp Out", [&](std::span<const std::uint8_t>) { ++received; });
    ASSERT_TRUE(opened.connection);
    ASSERT_TRUE(rig.system->inject("Amp Out", {0xF0, 0x7E, 0xF7}));
    EXPECT_EQ(received, 1);

    rig.system->hang();
    opened.connection.reset();  // within the limit, though the close itself waits on the system
    EXPECT_EQ(rig.midi.silentSystem(), "JACK");
    ASSERT_TRUE(rig.system->inject("Amp Out", {0xF0, 0x7E, 0xF7}));
    EXPECT_EQ(received, 1);
}

}  // namespace
}  // namespace kaldo::midi
