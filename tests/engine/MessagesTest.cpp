#include <gtest/gtest.h>

#include <vector>

#include "FirmwareWriter.h"
#include "Messages.h"

namespace kaldo {
namespace {

std::vector<std::uint8_t> identityReply(std::uint8_t c1, std::uint8_t c2, std::uint8_t c3, std::uint8_t c4) {
    return {0xF0, 0x7E, 0x7F, 0x06, 0x02, 0x00, 0x00, 0x5A, 0x12, 0x00, 0x01, 0x00, c1, c2, c3, c4, 0xF7};
}

TEST(SentMessages, IdentityRequestAndProgramChangeAreTheMidiStandardOnes) {
    EXPECT_EQ(std::vector<std::uint8_t>(kIdentityRequest.begin(), kIdentityRequest.end()),
              (std::vector<std::uint8_t>{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}));
    EXPECT_EQ(kProgramChangeChannel1, 0xC0);
}

TEST(SentMessages, HeaderAndPacketsAreCutFromTheImageInPlace) {
    tools::FirmwareOptions options;
    options.packetCount = 4;
    options.packetDataLength = 20;
    options.encryptionFlag = 1;
    const auto image = tools::makeFirmware(options);

    const auto header = headerMessage(image);
    EXPECT_EQ(header.data(), image.data());
    EXPECT_EQ(header.size(), 37u);
    EXPECT_EQ(header.back(), 0xF7);
    for (int k = 0; k < 4; ++k) {
        const auto packet = packetMessage(image, 20, k);
        ASSERT_EQ(packet.size(), 57u);
        EXPECT_EQ(packet.data(), image.data() + tools::packetOffset(options, static_cast<std::uint32_t>(k)));
        EXPECT_EQ(packet.front(), 0xF0);
        EXPECT_EQ(packet.back(), 0xF7);
    }
    // The last packet ends exactly at the end of the image.
    EXPECT_EQ(packetMessage(image, 20, 3).data() + 57, image.data() + image.size());
}

TEST(SentMessages, MessagesBeyondTheImageAreEmptyNotOutOfBounds) {
    tools::FirmwareOptions options;
    options.packetCount = 2;
    options.packetDataLength = 10;
    const auto image = tools::makeFirmware(options);
    EXPECT_TRUE(packetMessage(image, 10, 2).empty());
    EXPECT_TRUE(packetMessage(image, 11, 1).empty());
    EXPECT_TRUE(packetMessage(image, 10, -1).empty());
    EXPECT_TRUE(packetMessage(image, 0x7FFFFFFF, 0x7FFFFFFF).empty());
    EXPECT_TRUE(headerMessage(std::span(image).first(36)).empty());
}

TEST(Replies, IdentityReplyGivesPackedVersionAndText) {
    const auto reply = identityReplyOf(identityReply(0x30, 0x32, 0x38, 0x33));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->version, 0x00020803u);
    EXPECT_EQ(reply->text, "02.83");

    const auto old = identityReplyOf(identityReply(0x30, 0x31, 0x30, 0x32));
    ASSERT_TRUE(old);
    EXPECT_EQ(old->version, 0x00010002u);
    EXPECT_EQ(old->text, "01.02");
}

TEST(Replies, MadeIdentityReplyReadsBackAsItsVersion) {
    const auto made = makeIdentityReply(0x00010509);
    EXPECT_EQ(made[1], 0x7E);
    EXPECT_EQ(made[16], 0xF7);
    const auto reply = identityReplyOf(made);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->version, 0x00010509u);
    EXPECT_EQ(reply->text, "01.59");
}

TEST(Replies, OnlyAnIdentityReplyIsOneAndNoUniversalMessageCarriesACode) {
    auto reply = identityReply(0x30, 0x32, 0x38, 0x33);
    EXPECT_TRUE(isIdentityReply(reply));
    EXPECT_FALSE(replyCodeOf(reply));
    // Neither a universal message that looks like a status reply at offset 6, nor our own request
    // echoed back by a port (to all devices, or to one), answers anything.
    const std::vector<std::uint8_t> odd{0xF0, 0x7E, 0x00, 0x5A, 0x12, 0x01, 0x7C, 0xF7};
    const std::vector<std::uint8_t> toOne{0xF0, 0x7E, 0x10, 0x06, 0x01, 0xF7};
    for (const auto& message :
         {odd, std::vector<std::uint8_t>(kIdentityRequest.begin(), kIdentityRequest.end()), toOne}) {
        EXPECT_FALSE(isIdentityReply(message));
        EXPECT_FALSE(replyCodeOf(message));
        EXPECT_FALSE(identityReplyOf(message));
    }
}

TEST(Replies, OnlyTheAmpsMessagesCarryACodeOrARevision) {
    for (int code : {0x7B, 0x7C, 0x74, 0x7D, 0x7A, 0x71, 0x12}) {
        EXPECT_EQ(replyCodeOf(makeStatusReply(code)), code);
    }
    // Another maker's message, whatever its offset 6 holds; the amp's ID out of place.
    const std::vector<std::uint8_t> foreign{0xF0, 0x41, 0x10, 0x00, 0x00, 0x00, 0x7C, 0xF7};
    EXPECT_FALSE(replyCodeOf(foreign));
    EXPECT_FALSE(identityReplyOf(foreign));
    const std::vector<std::uint8_t> shifted{0xF0, 0x00, 0x5A, 0x00, 0x12, 0x01, 0x7C, 0xF7};
    EXPECT_FALSE(replyCodeOf(shifted));
    // Another maker's Identity Reply is one, but carries no revision of the amp.
    auto other = identityReply(0x30, 0x39, 0x39, 0x39);
    other[7] = 0x6B;
    EXPECT_TRUE(isIdentityReply(other));
    EXPECT_FALSE(identityReplyOf(other));
    // The amp's, answering from any device ID; not when the sub-IDs are not those of a reply.
    auto anyDevice = identityReply(0x30, 0x32, 0x38, 0x33);
    anyDevice[2] = 0x10;
    EXPECT_EQ(identityReplyOf(anyDevice)->text, "02.83");
    auto request = identityReply(0x30, 0x32, 0x38, 0x33);
    request[4] = 0x01;
    EXPECT_FALSE(identityReplyOf(request));
}

TEST(Replies, MessagesTooShortCarryNoCodeAndNoRevision) {
    const std::vector<std::uint8_t> seven{0xF0, 0x00, 0x00, 0x5A, 0x12, 0x01, 0x7B};
    EXPECT_EQ(replyCodeOf(seven), 0x7B);
    EXPECT_FALSE(replyCodeOf(std::span(seven).first(6)));
    EXPECT_FALSE(replyCodeOf(std::span<const std::uint8_t>{}));
    EXPECT_FALSE(isIdentityReply(std::span<const std::uint8_t>{}));
    EXPECT_FALSE(isIdentityReply(std::span(seven).first(1)));

    const auto full = identityReply(0x30, 0x32, 0x38, 0x33);
    EXPECT_TRUE(identityReplyOf(std::span(full).first(16)));
    EXPECT_FALSE(identityReplyOf(std::span(full).first(15)));
    EXPECT_FALSE(identityReplyOf(std::span(full).first(2)));
    EXPECT_FALSE(replyCodeOf(std::span(full).first(15)));
}

}  // namespace
}  // namespace kaldo
