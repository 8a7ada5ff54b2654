#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "link/texts.h"
#include "link/udp_link.h"
#include "protocol/command_codes.h"
#include "support/udp_panel.h"

#ifndef _WIN32
#include "support/loopback_socket.h"
#endif

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

#ifndef _WIN32
using korvane::testing::LoopbackSocket;

// Whoever sees a request may answer it; the link must hear only the panel.
class UdpStrangerTest : public ::testing::Test {
  protected:
    // What the link took as replies and what it passed over, with the senders.
    struct Recorder : FrameObserver {
        void OnSent(std::span<const uint8_t>) override {}
        void OnReceived(std::span<const uint8_t> bytes) override {
            received.emplace_back(bytes.begin(), bytes.end());
        }
        void OnIgnored(std::span<const uint8_t>, std::string_view sender) override {
            ignored.emplace_back(sender);
        }
        std::vector<std::vector<uint8_t>> received;
        std::vector<std::string> ignored;
    };

    void SetUp() override {
        ASSERT_TRUE(panel_socket.ok() && stranger.ok() && neighbour.ok())
            << "loopback sockets (127.0.0.1 and 127.0.0.2)";
        LinkSettings s;
        s.mode = LinkMode::Udp;
        s.address = korvane::testing::kLoopback;
        s.port = panel_socket.port();
        link.Configure(s);
        link.SetObserver(&recorder);
        link.ResetLink();
        link.OpenLink();
        ASSERT_EQ(link.result(), LinkResult::Ok);
    }
    void TearDown() override { link.CloseLink(); }

    // Asks for the panel's state on a worker while the test plays the
    // panel's side; `answer` gets the request as it came.
    void QueryWhile(uint32_t timeout_ms,
                    const std::function<void(const LoopbackSocket::Datagram&)>& answer) {
        std::thread worker([&] {
            FrameBuffer request{};
            const uint16_t n = BuildFrame(request, cmd::kQueryState, {});
            link.Exchange(request.data(), n, timeout_ms);
        });
        const auto request = panel_socket.Receive(2000);
        if (request)
            answer(*request);
        worker.join();
        ASSERT_TRUE(request) << "the request never came";
    }

    // A sound state reply claiming jumper 2, where the panel says jumper 1.
    static std::vector<uint8_t> ForgedReply() {
        FrameBuffer buffer{};
        const uint8_t payload[] = {1, 2};
        const uint16_t n = BuildFrame(buffer, cmd::kQueryState, payload);
        return {buffer.begin(), buffer.begin() + n};
    }

    LoopbackSocket panel_socket{0x7F000001};
    LoopbackSocket stranger{0x7F000002};   // another host
    LoopbackSocket neighbour{0x7F000001};  // another port of the panel's host
    sim::Panel panel;
    RecordingSink sink;
    LinkManager link{sink};
    Recorder recorder;
};

TEST_F(UdpStrangerTest, RepliesFromOthersAreIgnoredAndThePanelsIsTaken) {
    QueryWhile(1000, [&](const LoopbackSocket::Datagram& request) {
        EXPECT_TRUE(stranger.SendTo(ForgedReply(), request.from));
        EXPECT_TRUE(neighbour.SendTo(ForgedReply(), request.from));
        // The panel takes its time; the wait goes on past the strangers.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (const sim::Emission& e : panel.Handle(request.bytes))
            EXPECT_TRUE(panel_socket.SendTo(e.bytes, request.from));
    });
    EXPECT_EQ(link.result(), LinkResult::Ok);
    EXPECT_EQ(link.reply()[frame_offset::kPayload + 1], 1) << "the panel's jumper, not the forged";
    EXPECT_EQ(recorder.received.size(), 1u);
    EXPECT_EQ(recorder.ignored,
              (std::vector<std::string>{"127.0.0.2:" + std::to_string(stranger.port()),
                                        "127.0.0.1:" + std::to_string(neighbour.port())}));
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(UdpStrangerTest, OnlyAStrangerAnsweringIsATimeOut) {
    QueryWhile(300, [&](const LoopbackSocket::Datagram& request) {
        EXPECT_TRUE(stranger.SendTo(ForgedReply(), request.from));
        EXPECT_TRUE(neighbour.SendTo({}, request.from));  // an empty datagram is no "closed"
    });
    EXPECT_EQ(link.result(), LinkResult::Timeout);
    EXPECT_TRUE(recorder.received.empty());
    EXPECT_EQ(recorder.ignored.size(), 2u);
}

TEST_F(UdpStrangerTest, LateRepliesThrownAwayAreOnlyThePanels) {
    QueryWhile(1000, [&](const LoopbackSocket::Datagram& request) {
        for (const sim::Emission& e : panel.Handle(request.bytes))
            EXPECT_TRUE(panel_socket.SendTo(e.bytes, request.from));
        // A copy of the reply arrives late, and a stranger's.
        for (const sim::Emission& e : panel.Handle(request.bytes))
            EXPECT_TRUE(panel_socket.SendTo(e.bytes, request.from));
        EXPECT_TRUE(stranger.SendTo(ForgedReply(), request.from));
    });
    ASSERT_EQ(link.result(), LinkResult::Ok);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(link.active().DiscardPending(), 1u);
    EXPECT_EQ(recorder.ignored.size(), 1u);
}
#endif

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
