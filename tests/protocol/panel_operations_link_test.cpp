// The maintenance operations end to end over the byte links: the serial link
// and the USB link, each on a pseudo-terminal with the simulated panel behind.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/texts.h"
#include "protocol/command_codes.h"
#include "protocol/panel_operations.h"
#include "support/pty_panel.h"

namespace korvane {
namespace {

using korvane::testing::PtyPanelTest;
using sim::FaultKind;

class OperationsOverLink : public PtyPanelTest, public ::testing::WithParamInterface<LinkMode> {
  protected:
    LinkMode Mode() const override { return GetParam(); }

    void ExpectClosed() {
        EXPECT_FALSE(link.IsOpen());
        EXPECT_EQ(link.active_mode(), GetParam());
    }

    PanelSession session{link, FrontEnd::Cli};
};

TEST_P(OperationsOverLink, GetAddress) {
    sim::PanelNetwork net;
    net.ip[3] = 77;
    net.port = 4321;
    panel.SetNetwork(net);
    const auto address = GetPanelAddress(session);
    ASSERT_TRUE(address);
    EXPECT_EQ(address->IpText(), "192.168.0.77");
    EXPECT_EQ(address->port, 4321);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(panel.FramesWithCommand(cmd::kGetParameter).size(), 1u);
    ExpectClosed();
}

TEST_P(OperationsOverLink, SetAddress) {
    NetworkTexts values;
    values.ip = "10.1.2.3";
    values.port = "502";
    values.gateway = "10.1.2.254";
    values.mask = "255.255.0.0";
    EXPECT_TRUE(SetPanelAddress(session, values, nullptr));
    EXPECT_EQ(sink.Messages(), (std::vector<Message>{{MessageKind::Plain, "设置成功"}}));
    const auto net = panel.Network();
    EXPECT_TRUE(std::equal(net.ip, net.ip + 4, std::array<uint8_t, 4>{10, 1, 2, 3}.begin()));
    EXPECT_EQ(net.port, 502);
    EXPECT_EQ(net.gateway[3], 254);
    EXPECT_EQ(net.mask[2], 0);
    ExpectClosed();
}

TEST_P(OperationsOverLink, ChangeMac) {
    EXPECT_TRUE(ChangeMac(session, 987654));
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"设置成功"});
    const SixBytes mac = GenerateMac(987654);
    const auto net = panel.Network();
    EXPECT_TRUE(std::equal(mac.begin(), mac.end(), net.mac));
    ExpectClosed();
}

TEST_P(OperationsOverLink, SetThenGetClock) {
    const ClockValue when{2031, 6, 15, 8, 30, 0};
    EXPECT_TRUE(SetPanelClock(session, when, nullptr, nullptr));
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"设置成功"});
    sink.Clear();
    const auto read = GetPanelClock(session, nullptr, nullptr);
    ASSERT_TRUE(read);
    // The panel's clock runs on while the operations take their time.
    EXPECT_TRUE(read->Text() == "2031-06-15 08:30:00" || read->Text() == "2031-06-15 08:30:01" ||
                read->Text() == "2031-06-15 08:30:02")
        << read->Text();
    EXPECT_TRUE(sink.Messages().empty());
    ExpectClosed();
}

TEST_P(OperationsOverLink, EnterAndEndDownload) {
    panel.SetJumper(2);
    panel.SetProtocolVersion(2);
    RunEnterDownload(session);
    EXPECT_EQ(sink.Messages(), (std::vector<Message>{{MessageKind::Plain, "成功"}}));
    EXPECT_TRUE(panel.InDownloadMode());
    EXPECT_EQ(session.protocol_version(), 2);
    EXPECT_EQ(panel.FramesWithCommand(cmd::kVersionHandshake).size(), 1u);
    sink.Clear();
    RunEndDownload(session);
    EXPECT_EQ(sink.Messages(), (std::vector<Message>{{MessageKind::Plain, "成功"}}));
    EXPECT_FALSE(panel.InDownloadMode());
    ExpectClosed();
}

TEST_P(OperationsOverLink, RepliesForAnotherCommandAreRetriedSixTimes) {
    panel.InjectFault({FaultKind::WrongEcho, cmd::kGetParameter, 6});
    EXPECT_FALSE(GetPanelAddress(session));
    EXPECT_EQ(sink.Messages(), (std::vector<Message>{{MessageKind::Error, Text(TextId::Timeout)}}));
    EXPECT_EQ(panel.FramesWithCommand(cmd::kGetParameter).size(), 6u);
    ExpectClosed();
}

TEST_P(OperationsOverLink, ADeviceThatDoesNotOpenEndsTheOperation) {
    LinkSettings s = link.settings();
    s.serial_device = "/dev/korvane-no-such-port";
    s.usb_device = "/dev/korvane-no-such-port";
    link.Configure(s);
    EXPECT_FALSE(GetPanelAddress(session));
    std::vector<Message> expected;
    if (GetParam() == LinkMode::Serial)
        expected.push_back({MessageKind::AppDefault, Text(TextId::SerialOpenFailed)});
    expected.push_back({MessageKind::Error, Text(TextId::LinkSetupFailed)});
    EXPECT_EQ(sink.Messages(), expected);
    EXPECT_TRUE(panel.ReceivedFrames().empty());
}

INSTANTIATE_TEST_SUITE_P(ByteLinks, OperationsOverLink,
                         ::testing::Values(LinkMode::Serial, LinkMode::Usb), [](const auto& info) {
                             return info.param == LinkMode::Serial ? "Serial" : "Usb";
                         });

class OperationsOverSerial : public PtyPanelTest {
  protected:
    PanelSession session{link, FrontEnd::Cli};
    NullProgress progress;
};

TEST_F(OperationsOverSerial, EraseReportsTheOutcome) {
    ASSERT_TRUE(StartEraseFlash(session, progress));
    session.WaitForRun();
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Plain, Text(TextId::EraseDone)}}));
    EXPECT_EQ(panel.FramesWithCommand(cmd::kFlashPrepare).size(), 1u);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.close_count(), 1u);
}

TEST_F(OperationsOverSerial, EraseWithABadReplyIsReportedAsFailed) {
    panel.InjectFault({FaultKind::BadChecksum, cmd::kFlashPrepare});
    ASSERT_TRUE(StartEraseFlash(session, progress));
    session.WaitForRun();
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Error, Text(TextId::ChecksumError)},
                                    {MessageKind::Error, Text(TextId::EraseFailed)}}));
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(OperationsOverSerial, EraseRefusedIsAFailure) {
    const std::pair<uint8_t, TextId> cases[] = {{0, TextId::StatusCheckFailed},
                                                {241, TextId::StatusDeleteFailed},
                                                {242, TextId::StatusBlankCheckFailed},
                                                {243, TextId::StatusAddressOutOfRange},
                                                {9, TextId::StatusUnknown}};
    for (const auto& [status, text] : cases) {
        sink.Clear();
        panel.SetStatusOverride(cmd::kFlashPrepare, status);
        ASSERT_TRUE(StartEraseFlash(session, progress));
        session.WaitForRun();
        EXPECT_EQ(sink.Ids(), (std::vector<TextId>{text, TextId::EraseFailed})) << int{status};
        EXPECT_EQ(link.result(), LinkResult::PanelRefused);
        EXPECT_FALSE(link.IsOpen());
    }
}

TEST_F(OperationsOverSerial, SplitAndNoisyRepliesStillServe) {
    panel.InjectFault({FaultKind::Split, cmd::kQueryState});
    panel.InjectFault({FaultKind::Garbage, cmd::kGetParameter});
    EXPECT_TRUE(GetPanelAddress(session));
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(panel.FramesWithCommand(cmd::kQueryState).size(), 1u);
}

TEST_F(OperationsOverSerial, AReplyCutOffSpoilsTheRetryWithAChecksumError) {
    // Query-state reads for 2.5 s: the half reply times out, the retry's reply
    // completes the old frame with the wrong bytes, and the operation stops.
    panel.InjectFault({FaultKind::Truncate, cmd::kQueryState});
    EXPECT_FALSE(GetPanelAddress(session));
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Error, Text(TextId::ChecksumError)}}));
    EXPECT_EQ(panel.FramesWithCommand(cmd::kQueryState).size(), 2u);
    EXPECT_TRUE(panel.FramesWithCommand(cmd::kGetParameter).empty());
    EXPECT_FALSE(link.IsOpen());
}

TEST(OperationsOverUsb, EraseIsRefused) {
#ifdef _WIN32
    GTEST_SKIP() << "the simulator's serial side needs a pseudo-terminal (POSIX)";
#endif
    sim::Panel panel;
    sim::PtyServer server{panel};
    ASSERT_TRUE(server.Start());
    RecordingSink sink;
    LinkManager link{sink};
    LinkSettings s;
    s.mode = LinkMode::Usb;
    s.usb_device = server.slave_path();
    link.Configure(s);
    PanelSession session{link, FrontEnd::Cli};
    NullProgress progress;
    EXPECT_FALSE(StartEraseFlash(session, progress));
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Error, Text(TextId::NoUsbProgramming)}}));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(panel.ReceivedFrames().empty());
}

}  // namespace
}  // namespace korvane
