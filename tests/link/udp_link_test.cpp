#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/texts.h"
#include "link/udp_link.h"
#include "protocol/command_codes.h"
#include "support/udp_panel.h"

namespace korvane {
namespace {

using korvane::testing::UdpPanelTest;
using sim::FaultKind;
using sim::FaultRule;

class UdpLinkTest : public UdpPanelTest {
  protected:
    void ExchangeQuery(uint32_t timeout_ms = 300) {
        FrameBuffer request{};
        const uint16_t n = BuildFrame(request, cmd::kQueryState, {});
        link.Exchange(request.data(), n, timeout_ms);
    }
};

TEST_F(UdpLinkTest, ALateReplyIsTakenByTheNextExchange) {
    panel.InjectFault({FaultKind::Delay, cmd::kQueryState, 1, 250});
    Open();
    ExchangeQuery(100);
    EXPECT_EQ(link.result(), LinkResult::Timeout);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    FrameBuffer request{};
    const uint8_t item[] = {1};
    const uint16_t n = BuildFrame(request, cmd::kGetParameter, item);
    link.Exchange(request.data(), n, 300);
    // The link takes the queued late reply; only the command echo can tell.
    EXPECT_EQ(link.result(), LinkResult::Ok);
    EXPECT_TRUE(EchoesCommand(link.reply(), cmd::kQueryState));
    EXPECT_FALSE(EchoesCommand(link.reply(), cmd::kGetParameter));
}

TEST_F(UdpLinkTest, EmptyDatagramMeansThePeerClosed) {
    panel.InjectFault({FaultKind::Empty});
    Open();
    ExchangeQuery();
    EXPECT_EQ(link.result(), LinkResult::IoError);
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Error, Text(TextId::PeerClosed)}}));
}

TEST_F(UdpLinkTest, OnlyTheFirstOfTwoFramesInADatagramCounts) {
    panel.InjectFault({FaultKind::TwoFrames});
    Open();
    ExchangeQuery();
    EXPECT_EQ(link.result(), LinkResult::Ok);
    EXPECT_EQ(link.reply()[5], 1);
    EXPECT_GT(link.reply_length(), 8u);
}

TEST_F(UdpLinkTest, AShortDatagramClaimingMoreIsBad) {
    panel.InjectFault({FaultKind::Truncate});
    Open();
    ExchangeQuery();
    EXPECT_EQ(link.result(), LinkResult::ChecksumError);
}

TEST_F(UdpLinkTest, SendWithoutBroadcastPermissionFails) {
    LinkSettings s = link.settings();
    s.address = 0xFFFFFFFF;  // 255.255.255.255, the settings' first-start default
    link.Configure(s);
    Open();
    ExchangeQuery();
    EXPECT_EQ(link.result(), LinkResult::IoError);
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Error, Text(TextId::SendFailed)}}));
}

TEST(LinkResultNames, MatchTheirValues) {
    EXPECT_STREQ(LinkResultName(LinkResult::Ok), "Ok");
    EXPECT_STREQ(LinkResultName(LinkResult::ChecksumError), "ChecksumError");
    EXPECT_EQ(static_cast<int>(LinkResult::RunCancelled), 8);
    EXPECT_EQ(static_cast<int>(LinkResult::OpenFailed), 6);
}

TEST(DottedAddressText, TakesTheFirstOctetFromTheLowByte) {
    EXPECT_EQ(DottedAddress(0x6400A8C0), "192.168.0.100");
    EXPECT_EQ(DottedAddress(0xFFFFFFFF), "255.255.255.255");
}

}  // namespace
}  // namespace korvane
