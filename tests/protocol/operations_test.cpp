#include "protocol/panel_operations.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "link/texts.h"
#include "protocol/command_codes.h"
#include "support/temp_dir.h"
#include "support/udp_panel.h"

namespace korvane {
namespace {

using korvane::testing::UdpPanelTest;
using sim::FaultKind;
using sim::FaultRule;
using Bytes = std::vector<uint8_t>;

Bytes Slice(const Bytes& frame, size_t from, size_t to) {
    return Bytes(frame.begin() + static_cast<std::ptrdiff_t>(from),
                 frame.begin() + static_cast<std::ptrdiff_t>(to));
}

class OperationsTest : public UdpPanelTest {
  protected:
    std::vector<uint8_t> Commands() const {
        std::vector<uint8_t> out;
        for (const auto& f : panel.ReceivedFrames())
            out.push_back(f[4]);
        return out;
    }

    PanelSession session{link, FrontEnd::Cli};
    NullProgress progress;
};

TEST_F(OperationsTest, GetAddressShowsWhatThePanelReports) {
    sim::PanelNetwork net;  // 192.168.0.100 port 21845
    panel.SetNetwork(net);
    const auto address = GetPanelAddress(session);
    ASSERT_TRUE(address);
    EXPECT_EQ(address->IpText(), "192.168.0.100");
    EXPECT_EQ(address->port, 21845);
    EXPECT_TRUE(sink.Messages().empty());
    ASSERT_EQ(Commands(), (std::vector<uint8_t>{cmd::kQueryState, cmd::kGetParameter}));
    EXPECT_EQ(panel.ReceivedFrames()[1], (Bytes{0x5A, 0xA5, 0x00, 0x07, 0x21, 0x01, 0x28}));
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(OperationsTest, SetAddressSendsThreeItemsAndShowsOneSuccess) {
    NetworkTexts values;
    values.ip = "192.168.1.20";
    values.port = "502";
    EXPECT_TRUE(SetPanelAddress(session, values, nullptr));
    EXPECT_EQ(sink.Messages(), (std::vector<Message>{{MessageKind::Plain, "设置成功"}}));
    const auto sets = panel.FramesWithCommand(cmd::kSetParameter);
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(Slice(sets[0], 5, 12), (Bytes{0x01, 0xC0, 0xA8, 0x01, 0x14, 0xF6, 0x01}));
    EXPECT_EQ(Slice(sets[1], 5, 12), (Bytes{0x05, 192, 168, 0, 1, 0, 0}));
    EXPECT_EQ(Slice(sets[2], 5, 12), (Bytes{0x03, 255, 255, 255, 0, 0, 0}));
    EXPECT_EQ(sets[0].size(), 13u);
    const auto net = panel.Network();
    EXPECT_EQ(net.port, 502);
    EXPECT_EQ(net.ip[3], 20);
}

TEST_F(OperationsTest, SetAddressStopsAtTheFirstRefusal) {
    panel.SetStatusOverride(cmd::kSetParameter, 0);
    EXPECT_FALSE(SetPanelAddress(session, NetworkTexts{}, nullptr));
    EXPECT_EQ(sink.Messages(), (std::vector<Message>{{MessageKind::Error, "设置失败"}}));
    EXPECT_EQ(panel.FramesWithCommand(cmd::kSetParameter).size(), 1u);
    EXPECT_EQ(link.result(), LinkResult::PanelRefused);
}

TEST_F(OperationsTest, ClockIsReadAsSetOnTheWire) {
    const ClockValue when{2020, 12, 31, 23, 59, 58};
    EXPECT_TRUE(SetPanelClock(session, when, nullptr, nullptr));
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"设置成功"});
    const auto sets = panel.FramesWithCommand(cmd::kSetClock);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(Slice(sets[0], 5, 12), (Bytes{0x07, 0xE4, 0x0C, 0x1F, 0x17, 0x3B, 0x3A}));

    sink.Clear();
    const auto read = GetPanelClock(session, nullptr, nullptr);
    ASSERT_TRUE(read);
    // The panel's clock runs on: allow the second or two the exchange took.
    EXPECT_TRUE(read->Text() == "2020-12-31 23:59:58" || read->Text() == "2020-12-31 23:59:59" ||
                read->Text() == "2021-01-01 00:00:00")
        << read->Text();
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(OperationsTest, AClockYearBelow256ReadsAsFailure) {
    panel.SetClock({255, 1, 1, 0, 0, 0});
    EXPECT_FALSE(GetPanelClock(session, nullptr, nullptr));
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"失败"});
}

TEST_F(OperationsTest, QueryStateWithAnUnknownStatusGoesOn) {
    panel.SetStatusOverride(cmd::kQueryState, 7);
    EXPECT_TRUE(GetPanelAddress(session));
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(OperationsTest, QueryStateRefusalStopsTheOperation) {
    panel.SetStatusOverride(cmd::kQueryState, 0);
    EXPECT_FALSE(GetPanelAddress(session));
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"失败"});
    EXPECT_EQ(Commands(), std::vector<uint8_t>{cmd::kQueryState});
}

TEST_F(OperationsTest, RepliesForAnotherCommandAreRetriedSixTimesThenTimeOut) {
    panel.InjectFault({FaultKind::WrongEcho, cmd::kQueryState, 6});
    EXPECT_FALSE(GetPanelAddress(session));
    EXPECT_EQ(sink.Messages(), (std::vector<Message>{{MessageKind::Error, Text(TextId::Timeout)}}));
    EXPECT_EQ(link.result(), LinkResult::Timeout);
    EXPECT_EQ(Commands(), std::vector<uint8_t>(6, cmd::kQueryState));
}

TEST_F(OperationsTest, FiveBadEchoesAreRetriedSilently) {
    panel.InjectFault({FaultKind::WrongEcho, cmd::kQueryState, 5});
    EXPECT_TRUE(GetPanelAddress(session));
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(panel.FramesWithCommand(cmd::kQueryState).size(), 6u);
}

TEST_F(OperationsTest, SilenceIsRetriedThenReportedOnce) {
    panel.InjectFault({FaultKind::Drop, cmd::kQueryState, 6});
    EXPECT_FALSE(GetPanelAddress(session));
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{Text(TextId::Timeout)});
    EXPECT_EQ(link.result(), LinkResult::Timeout);
}

TEST_F(OperationsTest, ALinkFailureStopsWithoutRetry) {
    panel.InjectFault({FaultKind::BadChecksum, cmd::kQueryState});
    EXPECT_FALSE(GetPanelAddress(session));
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{Text(TextId::ChecksumError)});
    EXPECT_EQ(panel.FramesWithCommand(cmd::kQueryState).size(), 1u);
}

TEST_F(OperationsTest, WithoutALinkModeEveryCommandTimesOut) {
    LinkSettings s = link.settings();
    s.mode = LinkMode{0};
    link.Configure(s);
    // A good reply from an earlier exchange must not be taken for a new one.
    EXPECT_FALSE(GetPanelAddress(session));
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{Text(TextId::Timeout)});
    EXPECT_TRUE(panel.ReceivedFrames().empty());
}

TEST_F(OperationsTest, EnterDownloadRunsTheHandshakeWithTheLearntVersion) {
    panel.SetJumper(2);
    panel.SetProtocolVersion(2);
    RunEnterDownload(session);
    EXPECT_EQ(sink.Messages(), (std::vector<Message>{{MessageKind::Plain, "成功"}}));
    EXPECT_EQ(session.protocol_version(), 2);
    const auto hs = panel.FramesWithCommand(cmd::kVersionHandshake);
    ASSERT_EQ(hs.size(), 1u);
    EXPECT_EQ(Slice(hs[0], 5, 11), (Bytes{2, 'T', 'a', 'm', 'i', 'x'}));
    const auto enter = panel.FramesWithCommand(cmd::kEnterDownload);
    ASSERT_EQ(enter.size(), 1u);
    EXPECT_EQ(enter[0].size(), 12u);
    EXPECT_TRUE(panel.InDownloadMode());
}

TEST_F(OperationsTest, HandshakeVersionRefusalIsPlainButStops) {
    panel.SetJumper(2);
    panel.SetStatusOverride(cmd::kVersionHandshake, 240);
    RunEnterDownload(session);
    EXPECT_EQ(sink.Messages(), (std::vector<Message>{{MessageKind::Plain, "失败，版本号错误"}}));
    EXPECT_EQ(link.result(), LinkResult::PanelRefused);
}

TEST_F(OperationsTest, EnterDownloadRefusal241StopsSilently) {
    panel.SetJumper(2);
    panel.SetStatusOverride(cmd::kEnterDownload, 241);
    RunEnterDownload(session);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(link.result(), LinkResult::PanelRefused);
    EXPECT_TRUE(panel.FramesWithCommand(cmd::kVersionHandshake).empty());
}

TEST_F(OperationsTest, DownloadSwitchesFollowTheJumper) {
    panel.SetJumper(1);
    EXPECT_FALSE(RunEnterDownload(session));
    EXPECT_EQ(link.result(), LinkResult::PanelRefused);
    EXPECT_FALSE(RunEndDownload(session));
    EXPECT_EQ(link.result(), LinkResult::PanelRefused);
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Warning, Text(TextId::JumperOff)},
                                    {MessageKind::Error, Text(TextId::JumperOff)}}));
    EXPECT_TRUE(panel.FramesWithCommand(cmd::kEnterDownload).empty());
    sink.Clear();
    panel.SetJumper(2);
    RunEndDownload(session);
    EXPECT_EQ(sink.Messages(), (std::vector<Message>{{MessageKind::Plain, "成功"}}));
    panel.SetJumper(3);
    sink.Clear();
    EXPECT_FALSE(RunEndDownload(session));
    EXPECT_EQ(link.result(), LinkResult::PanelRefused);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(panel.FramesWithCommand(cmd::kEndDownload).size(), 1u);
}

TEST(Mac, KeepsItsFixedBitsForAnySeed) {
    for (uint64_t seconds = 0; seconds < 20000; seconds += 7) {
        const SixBytes mac = GenerateMac(seconds);
        ASSERT_EQ(mac[0], 0x00);
        ASSERT_EQ(mac[1], 0x4F);
        ASSERT_EQ(mac[2], 0x9A);
        ASSERT_EQ(mac[3] & 0x80, 0x80);
        ASSERT_EQ(mac[5] & 0x01, 0x00);
    }
    EXPECT_EQ(GenerateMac(1700000000), GenerateMac(1700000000));
    EXPECT_NE(GenerateMac(1700000000), GenerateMac(1700000001));
}

TEST_F(OperationsTest, ChangeMacSetsTheGeneratedAddress) {
    EXPECT_TRUE(ChangeMac(session, 1234567));
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"设置成功"});
    const SixBytes mac = GenerateMac(1234567);
    const auto net = panel.Network();
    EXPECT_TRUE(std::equal(mac.begin(), mac.end(), net.mac));
    const auto frames = panel.FramesWithCommand(cmd::kSetParameter);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][5], cmd::kItemMac);
}

// The erase reply carries the refusals of a flash-prepare: a refusal is
// shown with its own text and the erase reported as failed.
// A change answered with a status nobody knows did not happen as far as
// anyone can tell: the operation says so and stops there.
TEST_F(OperationsTest, ChangesAnsweredWithAnUnknownStatusAreRefused) {
    panel.SetStatusOverride(cmd::kSetParameter, 2);
    NetworkTexts values;
    values.ip = "10.1.2.3";
    values.port = "502";
    values.gateway = "10.1.2.254";
    values.mask = "255.255.0.0";
    EXPECT_FALSE(SetPanelAddress(session, values, nullptr));
    EXPECT_EQ(link.result(), LinkResult::PanelRefused);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"失败，命令0x20返回未知状态2"});
    EXPECT_EQ(panel.FramesWithCommand(cmd::kSetParameter).size(), 1u);

    sink.Clear();
    panel.SetStatusOverride(cmd::kSetClock, 2);
    EXPECT_FALSE(SetPanelClock(session, ClockValue{2021, 2, 3, 4, 5, 6}, nullptr, nullptr));
    EXPECT_EQ(link.result(), LinkResult::PanelRefused);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"失败，命令0x2C返回未知状态2"});
}

TEST_F(OperationsTest, EraseRefusedOverTheNetworkIsAFailure) {
    struct Case {
        uint8_t status;
        std::string text;
    };
    const Case cases[] = {{0, Text(TextId::StatusCheckFailed)},
                          {241, Text(TextId::StatusDeleteFailed)},
                          {242, Text(TextId::StatusBlankCheckFailed)},
                          {243, Text(TextId::StatusAddressOutOfRange)},
                          {7, "失败，命令0x8F返回未知状态7"}};
    for (const Case& c : cases) {
        sink.Clear();
        panel.SetStatusOverride(cmd::kFlashPrepare, c.status);
        ASSERT_TRUE(StartEraseFlash(session, progress));
        session.WaitForRun();
        EXPECT_EQ(sink.Messages(),
                  (std::vector<Message>{{MessageKind::Error, c.text},
                                        {MessageKind::Error, Text(TextId::EraseFailed)}}))
            << int{c.status};
        EXPECT_EQ(link.result(), LinkResult::PanelRefused);
        EXPECT_FALSE(link.IsOpen());
    }
}

TEST_F(OperationsTest, EraseOverTheNetworkAsksToWaitAfterASoundReply) {
    ASSERT_TRUE(StartEraseFlash(session, progress));
    session.WaitForRun();
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::AppDefault, Text(TextId::EraseWait)}}));
    EXPECT_EQ(link.result(), LinkResult::Ok);
    const auto erase = panel.FramesWithCommand(cmd::kFlashPrepare);
    ASSERT_EQ(erase.size(), 1u);
    EXPECT_EQ(erase[0],
              (Bytes{0x5A, 0xA5, 0x00, 0x13, 0x8F, 0x06, 0x00, 0x08, 0x00, 0x00, 0x02, 0x00, 0x00,
                     0x00, 0x00, 0x00, 0x00, 0x00,
                     static_cast<uint8_t>(0x5A + 0xA5 + 0x13 + 0x8F + 0x06 + 0x08 + 0x02)}));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.close_count(), 1u);
}

TEST_F(OperationsTest, EraseRefusesUsbBeforeOpeningAnything) {
    LinkSettings s = link.settings();
    s.mode = LinkMode::Usb;
    link.Configure(s);
    EXPECT_FALSE(StartEraseFlash(session, progress));
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Error, Text(TextId::NoUsbProgramming)}}));
    EXPECT_EQ(link.result(), LinkResult::OpenFailed);
    EXPECT_TRUE(panel.ReceivedFrames().empty());
    EXPECT_FALSE(session.RunActive());
}

TEST_F(OperationsTest, ASecondRunIsRefusedWhileOneIsActive) {
    panel.InjectFault({FaultKind::Delay, cmd::kFlashPrepare, 1, 300});
    ASSERT_TRUE(StartEraseFlash(session, progress));
    EXPECT_FALSE(StartEraseFlash(session, progress));
    session.WaitForRun();
    const auto texts = sink.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], Text(TextId::RunActive));
    EXPECT_EQ(texts[1], Text(TextId::EraseWait));
    EXPECT_EQ(panel.FramesWithCommand(cmd::kFlashPrepare).size(), 1u);
    // Once it has ended, the next one may start.
    EXPECT_TRUE(StartEraseFlash(session, progress));
    session.WaitForRun();
}

class OperationsWithSettings : public OperationsTest {
  protected:
    korvane::testing::TempDir dir;
};

TEST_F(OperationsWithSettings, PageSaveKeepsTheCommunicationSettings) {
    SettingsFile settings(dir.path() / "Para.dat");
    settings.Load();
    std::ifstream before_in(dir.path() / "Para.dat", std::ios::binary);
    const Bytes before((std::istreambuf_iterator<char>(before_in)), {});
    NetworkTexts values;
    values.ip = "192.168.0.100";
    values.port = "21845";
    panel.SetStatusOverride(cmd::kSetParameter, 0);  // saved even when the panel refuses
    SetPanelAddress(session, values, &settings);

    std::ifstream after_in(dir.path() / "Para.dat", std::ios::binary);
    const Bytes after((std::istreambuf_iterator<char>(after_in)), {});
    EXPECT_EQ(before, after);
    std::ifstream net_in(dir.path() / "PanelNet.dat", std::ios::binary);
    const Bytes net((std::istreambuf_iterator<char>(net_in)), {});
    ASSERT_EQ(net.size(), 24u);
    EXPECT_EQ(Slice(net, 0, 12), (Bytes{0, 0, 0, 0, 0xC0, 0xA8, 0x00, 0x64, 0x55, 0x55, 0, 0}));
    EXPECT_EQ(Slice(net, 16, 24), (Bytes{192, 168, 0, 1, 255, 255, 255, 0}));
}

TEST_F(OperationsWithSettings, AnUnwritableRecordEndsTheOperationSilently) {
    std::ofstream(dir.path() / "file") << "x";
    // The settings folder is a plain file, so nothing can be written in it.
    SettingsFile settings(dir.path() / "file" / "Para.dat");
    EXPECT_FALSE(SetPanelAddress(session, NetworkTexts{}, &settings));
    EXPECT_EQ(link.result(), LinkResult::FileError);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_TRUE(panel.FramesWithCommand(cmd::kSetParameter).empty());
}

TEST_F(OperationsWithSettings, AProgramNotOursRefusesTheSave) {
    SettingsFile settings(std::nullopt);
    const NetworkTexts texts;
    EXPECT_FALSE(GetPanelClock(session, &texts, &settings).has_value());
    EXPECT_EQ(link.result(), LinkResult::PanelRefused);
    EXPECT_TRUE(sink.Messages().empty());
}

}  // namespace
}  // namespace korvane
