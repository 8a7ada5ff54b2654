#include "link/reply_parser.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvane {
namespace {

ParserState FeedAll(ReplyParser& p, FrameBuffer& reply, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes)
        FeedReplyByte(p, b, reply);
    return p.state;
}

TEST(ReplyParser, StateValuesAreTheProtocolOnes) {
    EXPECT_EQ(static_cast<int>(ParserState::HuntSync1), 90);
    EXPECT_EQ(static_cast<int>(ParserState::HuntSync2), 165);
    EXPECT_EQ(static_cast<int>(ParserState::LengthHigh), 2);
    EXPECT_EQ(static_cast<int>(ParserState::LengthLow), 3);
    EXPECT_EQ(static_cast<int>(ParserState::Body), 8);
    EXPECT_EQ(static_cast<int>(ParserState::ChecksumByte), 9);
    EXPECT_EQ(static_cast<int>(ParserState::Complete), 11);
    EXPECT_EQ(static_cast<int>(ParserState::Corrupt), 12);
}

TEST(ReplyParser, CompletesTheShortestFrameAndKeepsAllButTheChecksum) {
    ReplyParser p;
    FrameBuffer reply{};
    reply[5] = 0xEE;  // must stay: the checksum byte is compared, not stored
    EXPECT_EQ(FeedAll(p, reply, {0x5A, 0xA5, 0x00, 0x06, 0x0F, 0x14}), ParserState::Complete);
    EXPECT_EQ(std::vector<uint8_t>(reply.begin(), reply.begin() + 6),
              (std::vector<uint8_t>{0x5A, 0xA5, 0x00, 0x06, 0x0F, 0xEE}));
    EXPECT_EQ(p.byte_count, 0);
}

struct StreamCase {
    const char* name;
    std::vector<uint8_t> bytes;
    ParserState end;
};

class ParserStream : public testing::TestWithParam<StreamCase> {};

TEST_P(ParserStream, EndsInTheExpectedState) {
    ReplyParser p;
    FrameBuffer reply{};
    EXPECT_EQ(FeedAll(p, reply, GetParam().bytes), GetParam().end);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ParserStream,
    testing::Values(
        StreamCase{"command_changed", {0x5A, 0xA5, 0x00, 0x06, 0x0E, 0x14}, ParserState::Corrupt},
        StreamCase{"checksum_changed", {0x5A, 0xA5, 0x00, 0x06, 0x0F, 0x15}, ParserState::Corrupt},
        // The first 5A is abandoned when 00 follows; the second starts the frame.
        StreamCase{"noise_then_frame",
                   {0x00, 0x5A, 0x00, 0x5A, 0xA5, 0x00, 0x06, 0x0F, 0x14},
                   ParserState::Complete},
        // The second 5A is dropped while hunting A5, and that A5 is then dropped too.
        StreamCase{
            "double_sync", {0x5A, 0x5A, 0xA5, 0x00, 0x06, 0x0F, 0x14}, ParserState::HuntSync1},
        StreamCase{"bytes_after_checksum_ignored",
                   {0x5A, 0xA5, 0x00, 0x06, 0x0F, 0x14, 0x5A, 0xA5, 0x00},
                   ParserState::Complete},
        StreamCase{"length_zero", {0x5A, 0xA5, 0x00, 0x00, 0x0F}, ParserState::Corrupt},
        StreamCase{"length_five", {0x5A, 0xA5, 0x00, 0x05, 0x0F}, ParserState::Corrupt},
        StreamCase{"length_5201", {0x5A, 0xA5, 0x14, 0x51}, ParserState::Corrupt},
        StreamCase{"length_65535", {0x5A, 0xA5, 0xFF, 0xFF}, ParserState::Corrupt},
        StreamCase{"length_5200_in_progress", {0x5A, 0xA5, 0x14, 0x50, 0x82}, ParserState::Body}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplyParser, LongestFrameFillsTheBufferExactly) {
    ReplyParser p;
    FrameBuffer reply{};
    std::vector<uint8_t> frame(kFrameMax, 0x11);
    frame[0] = 0x5A;
    frame[1] = 0xA5;
    frame[2] = 0x14;
    frame[3] = 0x50;
    frame.back() = FrameChecksum(frame.data(), kFrameMax - 1);
    EXPECT_EQ(FeedAll(p, reply, frame), ParserState::Complete);
    EXPECT_EQ(reply[kFrameMax - 2], 0x11);
}

TEST(ReplyParser, AHugeDeclaredLengthNeverWritesPastTheBuffer) {
    // Under the sanitizer build an out-of-bounds store would abort here.
    ReplyParser p;
    auto reply = std::make_unique<FrameBuffer>();
    std::vector<uint8_t> stream = {0x5A, 0xA5, 0xFF, 0xFF};
    stream.resize(70000, 0x42);
    EXPECT_EQ(FeedAll(p, *reply, stream), ParserState::Corrupt);
}

TEST(ReplyParser, DoneStatesIgnoreBytesUntilReset) {
    ReplyParser p;
    FrameBuffer reply{};
    FeedAll(p, reply, {0x5A, 0xA5, 0x00, 0x06, 0x0F, 0x15});
    ASSERT_EQ(p.state, ParserState::Corrupt);
    EXPECT_EQ(FeedAll(p, reply, {0x5A, 0xA5, 0x00, 0x06, 0x0F, 0x14}), ParserState::Corrupt);
    p.Reset();
    EXPECT_EQ(FeedAll(p, reply, {0x5A, 0xA5, 0x00, 0x06, 0x0F, 0x14}), ParserState::Complete);
}

TEST(ReplyParser, CarriesAFrameAcrossChunks) {
    ReplyParser p;
    FrameBuffer reply{};
    EXPECT_EQ(FeedAll(p, reply, {0x5A, 0xA5, 0x00}), ParserState::LengthLow);
    EXPECT_EQ(FeedAll(p, reply, {0x07, 0x03, 0x01}), ParserState::ChecksumByte);
    EXPECT_EQ(FeedAll(p, reply, {0x0A}), ParserState::Complete);
}

}  // namespace
}  // namespace korvane
