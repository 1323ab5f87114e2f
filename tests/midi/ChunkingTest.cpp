// Cutting blocks into pieces for sending, and gathering received portions into 16,000-byte buffers.
#include <gtest/gtest.h>

#include <numeric>

#include "ReceiveBuffer.h"
#include "SysExPieces.h"
#include "SysExWaitLimit.h"

namespace kaldo::midi {
namespace {

std::vector<std::uint8_t> sysExBlock(std::size_t length) {
    std::vector<std::uint8_t> block(length);
    for (std::size_t i = 0; i < length; ++i) block[i] = static_cast<std::uint8_t>((i * 7 + i / 128) & 0x7F);
    block.front() = 0xF0;
    block.back() = 0xF7;
    return block;
}

TEST(SysExPieces, PiecesJoinToTheBlockAndRespectTheLimit) {
    for (const std::size_t length : {3u, 6u, 16000u, 16001u, 16380u, 52576u, 1048576u}) {
        const auto block = sysExBlock(length);
        const auto pieces = sysExPieces(block, 16000);
        EXPECT_EQ(pieces.size(), (length + 15999) / 16000) << length;
        std::vector<std::uint8_t> joined;
        for (const auto piece : pieces) {
            EXPECT_LE(piece.size(), 16000u);
            EXPECT_FALSE(piece.empty());
            joined.insert(joined.end(), piece.begin(), piece.end());
        }
        EXPECT_EQ(joined, block) << length;
        EXPECT_EQ(pieces.front().front(), 0xF0);
        EXPECT_EQ(pieces.back().back(), 0xF7);
    }
}

TEST(SysExWaitLimit, IsTheWireTimeAt31250BaudPlusTheMargin) {
    EXPECT_EQ(sysExWaitLimit(0), kSysExWaitMargin);
    EXPECT_EQ(sysExWaitLimit(3125), std::chrono::milliseconds(1000) + kSysExWaitMargin);
    EXPECT_EQ(sysExWaitLimit(6), std::chrono::milliseconds(2) + kSysExWaitMargin);  // 1.92 ms, rounded up
    EXPECT_EQ(sysExWaitLimit(1048576), std::chrono::milliseconds(335545) + kSysExWaitMargin);  // 335,544.32 ms
}

struct Dropped {
    std::vector<std::uint8_t> bytes;
    std::size_t length;
    std::uint8_t cutBy;
};

struct Received {
    std::vector<std::vector<std::uint8_t>> sysEx;
    std::vector<std::array<std::uint8_t, 3>> shorts;
    std::vector<Dropped> dropped;
    ReceiveBuffer buffer;

    void feed(const std::vector<std::uint8_t>& bytes) {
        buffer.receive(
            bytes, [this](std::span<const std::uint8_t> b) { sysEx.emplace_back(b.begin(), b.end()); },
            [this](std::uint8_t s, std::uint8_t f, std::uint8_t t) { shorts.push_back({s, f, t}); },
            [this](std::span<const std::uint8_t> b, std::size_t length, std::uint8_t cutBy) {
                dropped.push_back({{b.begin(), b.end()}, length, cutBy});
            });
    }
    std::vector<std::uint8_t> joined() const {
        std::vector<std::uint8_t> all;
        for (const auto& b : sysEx) all.insert(all.end(), b.begin(), b.end());
        return all;
    }
};

TEST(ReceiveBuffer, DeliversWholeMessagesAndLongOnesIn16000ByteBuffers) {
    Received r;
    const std::vector<std::uint8_t> reply{0xF0, 0x7E, 0x7F, 0x06, 0x02, 0x00, 0x00, 0x5A, 0x12, 0x00, 0x01, 0x00, 0x30, 0xF7};
    r.feed(reply);
    ASSERT_EQ(r.sysEx.size(), 1u);
    EXPECT_EQ(r.sysEx[0], reply);

    Received big;
    const auto block = sysExBlock(40000);
    big.feed(block);
    ASSERT_EQ(big.sysEx.size(), 3u);
    EXPECT_EQ(big.sysEx[0].size(), 16000u);
    EXPECT_EQ(big.sysEx[1].size(), 16000u);
    EXPECT_EQ(big.sysEx[2].size(), 8000u);
    EXPECT_EQ(big.joined(), block);

    Received exact;
    exact.feed(sysExBlock(16000));
    EXPECT_EQ(exact.sysEx.size(), 1u);
}

TEST(ReceiveBuffer, JoinsPiecesTheSystemDeliveredSeparately) {
    Received r;
    const auto block = sysExBlock(52576);
    for (const auto piece : sysExPieces(block, 5000)) r.feed({piece.begin(), piece.end()});
    EXPECT_EQ(r.joined(), block);
    ASSERT_EQ(r.sysEx.size(), 4u);  // 16000 x 3 + 4576
    EXPECT_EQ(r.sysEx[3].size(), 4576u);

    // A short message after the block is its own again.
    r.feed({0xC0, 0x05});
    ASSERT_EQ(r.shorts.size(), 1u);
    EXPECT_EQ(r.shorts[0], (std::array<std::uint8_t, 3>{0xC0, 0x05, 0x00}));
}

TEST(ReceiveBuffer, DropsAMessageCutShortAndEndsSysExAtAnyStatusByte) {
    Received r;
    r.feed({0xF0, 0x00, 0x00, 0x5A, 0x12});  // the F7 lost in an overrun ...
    r.feed({0xF8});                          // clock inside SysEx: skipped
    r.feed({0xF0, 0x03, 0xF7});              // ... a new message cuts it short
    r.feed({0x12, 0x34});                    // data without a status
    r.feed({});
    ASSERT_EQ(r.sysEx.size(), 1u);
    EXPECT_EQ(r.sysEx[0], (std::vector<std::uint8_t>{0xF0, 0x03, 0xF7}));
    ASSERT_EQ(r.dropped.size(), 1u);
    EXPECT_EQ(r.dropped[0].bytes, (std::vector<std::uint8_t>{0xF0, 0x00, 0x00, 0x5A, 0x12}));
    EXPECT_EQ(r.dropped[0].cutBy, 0xF0);
    EXPECT_TRUE(r.shorts.empty());

    // A status byte inside SysEx ends it there and begins a message of its own.
    r.feed({0xF0, 0x00, 0x00, 0x5A, 0x12, 0x01, 0x90, 0x40, 0x7F});
    EXPECT_EQ(r.sysEx.size(), 1u);
    ASSERT_EQ(r.dropped.size(), 2u);
    EXPECT_EQ(r.dropped[1].cutBy, 0x90);
    EXPECT_EQ(r.dropped[1].length, 6u);
    ASSERT_EQ(r.shorts.size(), 1u);
    EXPECT_EQ(r.shorts[0], (std::array<std::uint8_t, 3>{0x90, 0x40, 0x7F}));

    // Of a long message cut short, the full buffers have gone on; the rest is dropped.
    auto longMessage = sysExBlock(20000);
    longMessage.pop_back();
    r.feed(longMessage);
    r.feed({0xF0, 0x7E, 0xF7});
    ASSERT_EQ(r.sysEx.size(), 3u);
    EXPECT_EQ(r.sysEx[1].size(), 16000u);
    EXPECT_EQ(r.sysEx[2], (std::vector<std::uint8_t>{0xF0, 0x7E, 0xF7}));
    ASSERT_EQ(r.dropped.size(), 3u);
    EXPECT_EQ(r.dropped[2].bytes.size(), 3999u);
    EXPECT_EQ(r.dropped[2].length, 19999u);

    r.feed({0xF0, 0x01});
    r.buffer.clear();  // the port closed mid-message
    r.feed({0x90, 0x40, 0x7F});
    EXPECT_EQ(r.sysEx.size(), 3u);
    EXPECT_EQ(r.dropped.size(), 3u);
    EXPECT_EQ(r.shorts.size(), 2u);
}

}  // namespace
}  // namespace kaldo::midi
