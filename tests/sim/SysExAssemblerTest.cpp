#include <gtest/gtest.h>

#include <vector>

#include "SysExAssembler.h"

using kaldo::sim::SysExAssembler;
using Bytes = std::vector<std::uint8_t>;

TEST(SysExAssembler, JoinsPiecesAndSplitsRunTogetherMessages) {
    SysExAssembler assembler;
    Bytes big(20000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i & 0x7F);
    big.front() = 0xF0;
    big.back() = 0xF7;
    for (std::size_t at = 0; at < big.size(); at += 16000) {
        const auto piece = std::span(big).subspan(at, std::min<std::size_t>(16000, big.size() - at));
        const auto done = assembler.feed(piece);
        if (at + piece.size() < big.size()) {
            EXPECT_TRUE(done.empty());
            EXPECT_TRUE(assembler.inMessage());
        } else {
            ASSERT_EQ(done.size(), 1u);
            EXPECT_EQ(done[0], big);
        }
    }
    const Bytes two{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7, 0xF0, 0x01, 0x02, 0xF7};
    EXPECT_EQ(assembler.feed(two),
              (std::vector<Bytes>{{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, {0xF0, 0x01, 0x02, 0xF7}}));
}

TEST(SysExAssembler, DropsWhatTheWireWouldDrop) {
    SysExAssembler assembler;
    // A clock tick inside a message is not part of it.
    EXPECT_EQ(assembler.feed(Bytes{0xF0, 0x01, 0xF8, 0x02, 0xF7}),
              (std::vector<Bytes>{{0xF0, 0x01, 0x02, 0xF7}}));
    // A new F0 abandons the unfinished message; a channel message cuts it off.
    EXPECT_EQ(assembler.feed(Bytes{0xF0, 0x05, 0xF0, 0x06, 0xF7}), (std::vector<Bytes>{{0xF0, 0x06, 0xF7}}));
    EXPECT_TRUE(assembler.feed(Bytes{0xF0, 0x05, 0xC0, 0x01, 0xF7}).empty());
    // Data and stray F7 outside a message are ignored; the next message arrives whole.
    EXPECT_TRUE(assembler.feed(Bytes{0xC0, 0x02, 0x10, 0xF7}).empty());
    EXPECT_FALSE(assembler.inMessage());
    EXPECT_EQ(assembler.feed(Bytes{0xF0, 0xF7}), (std::vector<Bytes>{{0xF0, 0xF7}}));
}
