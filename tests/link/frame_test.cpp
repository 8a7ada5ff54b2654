#include "link/frame.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvane {
namespace {

FrameBuffer BufferWith(std::initializer_list<uint8_t> bytes) {
    FrameBuffer b{};
    std::copy(bytes.begin(), bytes.end(), b.begin());
    return b;
}

TEST(Frame, BuildsTheShortestRequest) {
    FrameBuffer out{};
    ASSERT_EQ(BuildFrame(out, 0x0F, {}), 6);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 6),
              (std::vector<uint8_t>{0x5A, 0xA5, 0x00, 0x06, 0x0F, 0x14}));
}

TEST(Frame, BuildsALengthBigEndianAndChecksumOverEverythingBefore) {
    FrameBuffer out{};
    const uint8_t payload[] = {0x01, 'T', 'a', 'm', 'i', 'x'};
    ASSERT_EQ(BuildFrame(out, 0x01, payload), 12);
    EXPECT_EQ(out[2], 0x00);
    EXPECT_EQ(out[3], 0x0C);
    EXPECT_EQ(out[11], FrameChecksum(out.data(), 11));
    EXPECT_TRUE(ValidateReply(out, 12));
}

TEST(Frame, RefusesAPayloadThatDoesNotFit) {
    FrameBuffer out{};
    std::vector<uint8_t> big(kFrameMax - 5);
    EXPECT_EQ(BuildFrame(out, 0x82, big), 0);
    big.pop_back();
    EXPECT_EQ(BuildFrame(out, 0x82, big), kFrameMax);
}

TEST(Frame, ChecksumAndBigEndianHelpers) {
    const uint8_t bytes[] = {0xFF, 0x02, 0x03};
    EXPECT_EQ(FrameChecksum(bytes, 0), 0);
    EXPECT_EQ(FrameChecksum(bytes, 2), 0x01);  // wraps modulo 256
    EXPECT_EQ(ReadBe16(bytes), 0xFF02);
    uint8_t out[4];
    WriteBe32(out, 0x00081388);
    EXPECT_EQ(ReadBe32(out), 0x00081388u);
    EXPECT_EQ(out[0], 0x00);
    EXPECT_EQ(out[3], 0x88);
}

struct BlockCase {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t received;  // 0: the bytes' own count
    bool good;
};

class BlockCheck : public testing::TestWithParam<BlockCase> {};

TEST_P(BlockCheck, JudgesTheReply) {
    const auto& c = GetParam();
    FrameBuffer b{};
    std::copy(c.bytes.begin(), c.bytes.end(), b.begin());
    EXPECT_EQ(ValidateReply(b, c.received ? c.received : c.bytes.size()), c.good);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, BlockCheck,
    testing::Values(
        BlockCase{"good", {0x5A, 0xA5, 0x00, 0x06, 0x0F, 0x14}, 0, true},
        BlockCase{"command_changed", {0x5A, 0xA5, 0x00, 0x06, 0x0E, 0x14}, 0, false},
        BlockCase{"checksum_changed", {0x5A, 0xA5, 0x00, 0x06, 0x0F, 0x15}, 0, false},
        BlockCase{"length_zero", {0x5A, 0xA5, 0x00, 0x00, 0x0F, 0x14}, 0, false},
        BlockCase{"length_five", {0x5A, 0xA5, 0x00, 0x05, 0x0F, 0x13}, 0, false},
        // Declared longer than what arrived: the tail would be stale bytes.
        BlockCase{"shorter_than_declared", {0x5A, 0xA5, 0x00, 0x07, 0x0F, 0x00, 0x15}, 6, false},
        BlockCase{"length_5201", {0x5A, 0xA5, 0x14, 0x51, 0x0F, 0x00}, kFrameMax, false},
        BlockCase{"length_65535", {0x5A, 0xA5, 0xFF, 0xFF, 0x0F, 0x00}, kFrameMax, false},
        // Bytes after the declared frame are not looked at.
        BlockCase{"trailing_bytes", {0x5A, 0xA5, 0x00, 0x06, 0x0F, 0x14, 0x99, 0x98}, 0, true},
        // The block check judges the checksum only, not the sync bytes.
        BlockCase{"no_sync", {0x00, 0x00, 0x00, 0x06, 0x0F, 0x15}, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Frame, EchoNeedsSyncBytesAndTheCommand) {
    EXPECT_TRUE(EchoesCommand(BufferWith({0x5A, 0xA5, 0, 7, 0x21}), 0x21));
    EXPECT_FALSE(EchoesCommand(BufferWith({0x5A, 0xA5, 0, 7, 0x20}), 0x21));
    EXPECT_FALSE(EchoesCommand(BufferWith({0x5B, 0xA5, 0, 7, 0x21}), 0x21));
}

}  // namespace
}  // namespace korvane
