// What kaldo-flash takes from its command line and its files: device names and ".syx" framing.
#include <gtest/gtest.h>

#include "DeviceLookup.h"
#include "SysExFile.h"

namespace kaldo::midi {
namespace {

TEST(DeviceLookup, ByNumberOrByAUniquePartOfTheName) {
    const std::vector<std::string> names{"Midi Through Port-0", "KALDO Amp MIDI 1", "USB Uno 2"};
    EXPECT_EQ(lookUpDevice(names, "0").device, 0);
    EXPECT_EQ(lookUpDevice(names, "2").device, 2);
    EXPECT_EQ(lookUpDevice(names, "kaldo").device, 1);
    EXPECT_EQ(lookUpDevice(names, "uno").device, 2);
    EXPECT_FALSE(lookUpDevice(names, "3").device);       // past the end
    EXPECT_FALSE(lookUpDevice(names, "midi").device);    // two names hold it
    EXPECT_FALSE(lookUpDevice(names, "Roland").device);  // none
    EXPECT_FALSE(lookUpDevice(names, "").device);
    EXPECT_FALSE(lookUpDevice(names, "-1").device);
    EXPECT_FALSE(lookUpDevice({}, "0").device);
    EXPECT_FALSE(lookUpDevice(names, "99999999999999999999").device);  // no overflow
    EXPECT_NE(lookUpDevice(names, "midi").problem.find("2 device names"), std::string::npos);
    // A whole name, as detection hands it on, even where another name holds it too.
    const std::vector<std::string> amps{"KALDO Amp In 2", "KALDO Amp In"};
    EXPECT_EQ(lookUpDevice(amps, "KALDO Amp In").device, 1);
}

TEST(SysExFile, SplitsMessagesAndRefusesAnythingElse) {
    const std::vector<std::uint8_t> two{0xF0, 0x01, 0xF7, 0xF0, 0x02, 0x03, 0xF7};
    const auto file = sysExMessages(two);
    EXPECT_TRUE(file.problem.empty());
    ASSERT_EQ(file.messages.size(), 2u);
    EXPECT_EQ(file.messages[1].size(), 4u);
    EXPECT_EQ(file.messages[1][1], 0x02);

    for (const std::vector<std::uint8_t>& bad : std::vector<std::vector<std::uint8_t>>{
             {},                                // nothing to send
             {0xF0, 0x01},                      // no F7
             {0x00, 0xF0, 0x01, 0xF7},          // a stray byte before
             {0xF0, 0x01, 0xF7, 0xF7},          // and after
             {0xF0, 0x01, 0x90, 0x40, 0xF7},    // a status byte inside
         }) {
        const auto refused = sysExMessages(bad);
        EXPECT_FALSE(refused.problem.empty());
        EXPECT_TRUE(refused.messages.empty());
    }
}

}  // namespace
}  // namespace kaldo::midi
