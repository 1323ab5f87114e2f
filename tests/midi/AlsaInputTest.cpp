// What the amp sends, read from the ALSA sequencer by our own client, against a model of the kernel:
// its replies arrive whole from the pieces the kernel cuts them into, and when our input queue
// overflows the message in progress is dropped and said, never joined to what comes after the loss.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "AlsaKernelModel.h"
#include "Messages.h"
#include "TMidiIn.h"

namespace kaldo::midi {
namespace {

using testing::AlsaKernelModel;
constexpr std::chrono::seconds kPatience{10};  // only a failing test waits this long

// MidiIn1 on the amp's card port of the model, recording what its handlers hear.
struct Input {
    std::shared_ptr<AlsaKernelModel> model = std::make_shared<AlsaKernelModel>();
    std::string amp = model->addCardPort({});
    TMidiIn in{model->backend()};
    std::mutex mutex;
    std::condition_variable heard;
    std::vector<std::vector<std::uint8_t>> sysEx;
    std::vector<std::uint8_t> statuses;
    std::vector<std::string> log;

    Input() {
        in.OnSysEx = [this](TMidiIn&, const std::uint8_t* bytes, int size) {
            std::lock_guard lock(mutex);
            sysEx.emplace_back(bytes, bytes + size);
            heard.notify_all();
        };
        in.OnShort = [this](TMidiIn&, std::uint8_t status, std::uint8_t, std::uint8_t) {
            std::lock_guard lock(mutex);
            statuses.push_back(status);
            heard.notify_all();
        };
        in.OnDropped = [this](TMidiIn&, const std::string& line) {
            std::lock_guard lock(mutex);
            log.push_back(line);
        };
        for (int i = 0; i < in.NumDevs(); ++i) {
            if (in.deviceName(i) == amp) in.SetPort(i);
        }
        in.SetUsing(true);
    }
    // Waits until the last message sent has been heard.
    bool heardAll(std::size_t messages, std::size_t shortMessages) {
        std::unique_lock lock(mutex);
        return heard.wait_for(lock, kPatience,
                              [&] { return sysEx.size() >= messages && statuses.size() >= shortMessages; });
    }
};

std::vector<std::uint8_t> ampMessage(std::size_t length, std::uint8_t seed) {
    std::vector<std::uint8_t> message(length, seed);
    message.front() = 0xF0;
    message[1] = 0x00;
    message[2] = 0x00;
    message[3] = 0x5A;
    message.back() = 0xF7;
    return message;
}

TEST(AlsaInput, TheAmpsMessagesArriveWholeAndInOrder) {
    Input input;
    ASSERT_EQ(input.in.openResult(), kResultOk);
    const auto identity = makeIdentityReply(0x00020803);
    const auto big = ampMessage(1000, 0x11);  // four events of the kernel's
    input.model->send(input.amp, {identity.begin(), identity.end()});
    input.model->send(input.amp, {0xF8, 0xFE});  // timing clock and active sensing: left out
    input.model->send(input.amp, big);
    input.model->send(input.amp, {0xC0, 0x05});
    ASSERT_TRUE(input.heardAll(2, 1));
    std::lock_guard lock(input.mutex);
    EXPECT_EQ(input.sysEx, (std::vector<std::vector<std::uint8_t>>{{identity.begin(), identity.end()}, big}));
    EXPECT_EQ(input.statuses, std::vector<std::uint8_t>{0xC0});
    EXPECT_TRUE(input.log.empty());
}

TEST(AlsaInput, AnOverrunDropsTheMessageInProgressAndSaysSo) {
    Input input;
    const auto message = ampMessage(16000, 0x22);
    const auto reply = makeStatusReply(kReplyPacketAccepted);
    // The first 512 bytes are read; then far more than the queue holds comes at once, and the kernel
    // empties the queue; then the message's end, and the amp's next reply.
    input.model->send(input.amp, {message.begin(), message.begin() + 512});
    ASSERT_TRUE(input.model->waitUntilInputRead(kPatience));
    input.model->send(input.amp, {message.begin() + 512, message.end() - 101});
    ASSERT_TRUE(input.model->waitUntilInputRead(kPatience));
    input.model->send(input.amp, {message.end() - 101, message.end()});
    input.model->send(input.amp, {reply.begin(), reply.end()});
    ASSERT_TRUE(input.heardAll(1, 0));
    std::lock_guard lock(input.mutex);
    // Head and tail joined would look like a whole message the amp never sent.
    EXPECT_EQ(input.sysEx, (std::vector<std::vector<std::uint8_t>>{{reply.begin(), reply.end()}}));
    EXPECT_EQ(input.log,
              std::vector<std::string>{"MIDI input overrun: input was lost; SysEx cut short after 512 "
                                       "bytes, dropped: F0 00 00 5A 22 22 22 22 ..."});
}

}  // namespace
}  // namespace kaldo::midi
