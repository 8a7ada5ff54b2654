// What every link does alike, through the link manager's cycle (Configure,
// ResetLink, OpenLink, Exchange, CloseLink) with a simulated panel behind
// UDP on loopback, a serial pseudo-terminal and a USB one. What a single link
// does differently stays in its own file.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/texts.h"
#include "protocol/command_codes.h"
#include "support/pty_panel.h"
#include "support/udp_panel.h"

namespace korvane {
namespace {

using sim::FaultKind;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const std::vector<uint8_t> kQueryRequest = {0x5A, 0xA5, 0x00, 0x06, 0x03, 0x08};

template <class PanelOnLink>
class LinkExchange : public PanelOnLink {
  protected:
    void ExchangeQuery(uint32_t timeout_ms = 300) {
        FrameBuffer request{};
        const uint16_t n = BuildFrame(request, cmd::kQueryState, {});
        this->link.Exchange(request.data(), n, timeout_ms);
    }
};

using Links =
    ::testing::Types<testing::UdpPanelTest, testing::PtyPanelTest, testing::UsbPtyPanelTest>;

struct LinkName {
    template <class T>
    static std::string GetName(int index) {
        return std::vector<std::string>{"Udp", "Serial", "Usb"}.at(static_cast<size_t>(index));
    }
};

TYPED_TEST_SUITE(LinkExchange, Links, LinkName);

TYPED_TEST(LinkExchange, AGoodReplyLandsInTheReplyBufferWithoutMessage) {
    this->panel.SetJumper(2);
    this->Open();
    this->ExchangeQuery();
    EXPECT_EQ(this->link.result(), LinkResult::Ok);
    const FrameBuffer& reply = this->link.reply();
    EXPECT_EQ(std::vector<uint8_t>(reply.begin(), reply.begin() + 7),
              (std::vector<uint8_t>{0x5A, 0xA5, 0x00, 0x08, cmd::kQueryState, 1, 2}));
    EXPECT_TRUE(this->sink.Messages().empty());
    EXPECT_EQ(this->panel.ReceivedFrames(), std::vector<std::vector<uint8_t>>{kQueryRequest});
}

TYPED_TEST(LinkExchange, SilenceIsATimeoutAfterTheWholeWaitWithoutMessage) {
    this->panel.InjectFault({FaultKind::Drop});
    this->Open();
    const auto start = Clock::now();
    this->ExchangeQuery(200);
    EXPECT_EQ(this->link.result(), LinkResult::Timeout);
    EXPECT_GE(Clock::now() - start, milliseconds(200));
    EXPECT_TRUE(this->sink.Messages().empty());
}

TYPED_TEST(LinkExchange, ABadChecksumIsShownOnceAndTheNextReplyServes) {
    this->panel.InjectFault({FaultKind::BadChecksum});
    this->Open();
    this->ExchangeQuery();
    EXPECT_EQ(this->link.result(), LinkResult::ChecksumError);
    EXPECT_EQ(this->sink.Messages(),
              (std::vector<Message>{{MessageKind::Error, Text(TextId::ChecksumError)}}));
    this->link.ResetLink();
    this->ExchangeQuery();
    EXPECT_EQ(this->link.result(), LinkResult::Ok);
    EXPECT_EQ(this->sink.Messages().size(), 1u);
}

TYPED_TEST(LinkExchange, NoLinkModeSendsNothingAndKeepsTheResult) {
    for (uint32_t mode : {0u, 4u, 0xFFFFFFFFu}) {
        LinkSettings s = this->link.settings();
        s.mode = LinkMode{mode};
        this->link.Configure(s);
        this->link.ResetLink();
        this->link.OpenLink();
        this->ExchangeQuery(50);
        this->link.CloseLink();
        EXPECT_EQ(this->link.result(), LinkResult::Ok) << mode;
    }
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_TRUE(this->panel.ReceivedFrames().empty());
    EXPECT_EQ(this->link.close_count(), 0u);
    EXPECT_TRUE(this->sink.Messages().empty());
}

TYPED_TEST(LinkExchange, CloseReleasesOnce) {
    this->Open();
    EXPECT_TRUE(this->link.IsOpen());
    this->link.CloseLink();
    this->link.CloseLink();
    EXPECT_FALSE(this->link.IsOpen());
    EXPECT_EQ(this->link.close_count(), 1u);
}

}  // namespace
}  // namespace korvane
