#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include <unistd.h>

#include "link/serial_link.h"
#include "link/serial_port.h"
#include "link/texts.h"
#include "protocol/command_codes.h"
#include "support/pty_panel.h"

namespace korvane {
namespace {

using korvane::testing::FrameOfLength;
using korvane::testing::PtyPanelTest;
using sim::FaultKind;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

const std::vector<uint8_t> kQueryRequest = {0x5A, 0xA5, 0x00, 0x06, 0x03, 0x08};

class SerialLinkTest : public PtyPanelTest {
  protected:
    // The serial link itself, which the manager builds for the serial mode
    // the fixture configures.
    SerialLink& Serial() {
        link.TakeConfiguredMode();
        return dynamic_cast<SerialLink&>(link.active());
    }
    void ExchangeQuery(uint32_t timeout_ms = 500, uint32_t read_timeout_ms = 0) {
        FrameBuffer request{};
        const uint16_t n = BuildFrame(request, cmd::kQueryState, {});
        link.Exchange(request.data(), n, timeout_ms, read_timeout_ms);
    }
    // The reply as the serial link leaves it: every byte but the checksum.
    std::vector<uint8_t> Reply() const {
        return {link.reply().begin(), link.reply().begin() + link.reply_length()};
    }
    size_t ReceivedBytes() const {
        size_t n = 0;
        for (const auto& c : recorder.chunks)
            n += c.size();
        return n;
    }
};

TEST_F(SerialLinkTest, ReplyLandsWithoutItsChecksumByte) {
    panel.SetJumper(2);
    Open();
    ExchangeQuery();
    EXPECT_EQ(link.result(), LinkResult::Ok);
    EXPECT_EQ(Reply(), (std::vector<uint8_t>{0x5A, 0xA5, 0x00, 0x08, 0x03, 0x01, 0x02}));
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(panel.ReceivedFrames(), std::vector<std::vector<uint8_t>>{kQueryRequest});
    EXPECT_EQ(recorder.sent, std::vector<std::vector<uint8_t>>{kQueryRequest});
    EXPECT_EQ(link.context().parser.state, ParserState::HuntSync1);
}

TEST_F(SerialLinkTest, LongReplyIsReadInChunksOfAtMostTwentyBytes) {
    const auto frame = FrameOfLength(cmd::kGetParameter, 97);
    Open();
    server.Inject(frame);
    Serial().SerialRead(500);
    ASSERT_EQ(link.result(), LinkResult::Ok);
    EXPECT_EQ(Reply(), std::vector<uint8_t>(frame.begin(), frame.end() - 1));
    EXPECT_GE(recorder.chunks.size(), 5u);
    for (const auto& chunk : recorder.chunks)
        EXPECT_LE(chunk.size(), kSerialChunk);
}

TEST_F(SerialLinkTest, ReplyInSeveralBurstsIsCarriedAcrossReads) {
    panel.InjectFault({FaultKind::Split, cmd::kQueryState, 1, 30});
    Open();
    ExchangeQuery(200);
    EXPECT_EQ(link.result(), LinkResult::Ok);
    EXPECT_EQ(Reply().size(), 7u);
    EXPECT_GE(recorder.chunks.size(), 2u);
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(SerialLinkTest, GarbageBeforeTheReplyIsSkipped) {
    panel.InjectFault({FaultKind::Garbage});
    panel.SetJumper(2);
    Open();
    ExchangeQuery();
    EXPECT_EQ(link.result(), LinkResult::Ok);
    EXPECT_EQ(Reply(), (std::vector<uint8_t>{0x5A, 0xA5, 0x00, 0x08, 0x03, 0x01, 0x02}));
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(SerialLinkTest, BytesAfterTheChecksumInTheSameChunkAreLost) {
    panel.InjectFault({FaultKind::TwoFrames});  // reply and a second frame in one burst
    Open();
    ExchangeQuery();
    ASSERT_EQ(link.result(), LinkResult::Ok);
    ASSERT_EQ(recorder.chunks.size(), 1u);
    EXPECT_EQ(recorder.chunks[0].size(), 15u);
    Serial().SerialRead(150);
    EXPECT_EQ(link.result(), LinkResult::Timeout);
}

TEST_F(SerialLinkTest, AFrameInALaterChunkIsTheNextReadsReply) {
    Open();
    server.Inject(FrameOfLength(cmd::kGetClock, 13));
    server.Inject(FrameOfLength(cmd::kSetClock, 6), 50);
    Serial().SerialRead(300);
    ASSERT_EQ(link.result(), LinkResult::Ok);
    EXPECT_EQ(link.reply()[frame_offset::kCommand], cmd::kGetClock);
    Serial().SerialRead(300);
    ASSERT_EQ(link.result(), LinkResult::Ok);
    EXPECT_EQ(link.reply()[frame_offset::kCommand], cmd::kSetClock);
    EXPECT_EQ(link.reply_length(), 5u);
}

TEST_F(SerialLinkTest, ReplyCutOffByTheTimeOutSpoilsTheNextExchange) {
    panel.InjectFault({FaultKind::Truncate});
    Open();
    ExchangeQuery(150);
    EXPECT_EQ(link.result(), LinkResult::Timeout);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(link.context().parser.state, ParserState::Body);

    ExchangeQuery(300);
    EXPECT_EQ(link.result(), LinkResult::ChecksumError);
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Error, Text(TextId::ChecksumError)}}));

    link.ResetLink();
    ExchangeQuery(300);
    EXPECT_EQ(link.result(), LinkResult::Ok);
}

TEST_F(SerialLinkTest, BadChecksumLeavesTheParserHuntingAgain) {
    panel.InjectFault({FaultKind::BadChecksum});
    Open();
    ExchangeQuery();
    EXPECT_EQ(link.result(), LinkResult::ChecksumError);
    EXPECT_EQ(link.context().parser.state, ParserState::HuntSync1);
}

TEST_F(SerialLinkTest, TheReadMayWaitLongerThanTheWrite) {
    struct Case {
        uint32_t read_timeout_ms;
        LinkResult expected;
    };
    for (const Case c : {Case{0, LinkResult::Timeout}, Case{900, LinkResult::Ok}}) {
        panel.InjectFault({FaultKind::Delay, cmd::kQueryState, 1, 300});
        Open();
        ExchangeQuery(100, c.read_timeout_ms);
        EXPECT_EQ(link.result(), c.expected) << c.read_timeout_ms;
        link.CloseLink();
        std::this_thread::sleep_for(milliseconds(350));  // let a late reply fall on a closed line
    }
}

TEST_F(SerialLinkTest, EndlessNoiseEndsTheReadAsATimeout) {
    // Noise without a sync byte, in bursts closer together than the read's
    // time-out, for far longer than the read is allowed to take.
    const std::vector<uint8_t> noise(500, 0x33);
    for (int i = 0; i < 400; ++i)
        server.Inject(noise, 10);
    Open();
    const auto start = Clock::now();
    Serial().SerialRead(200);
    EXPECT_EQ(link.result(), LinkResult::Timeout);
    EXPECT_LT(Clock::now() - start, milliseconds(3000));
    EXPECT_GT(ReceivedBytes(), kSerialNoiseLimit);
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(SerialLinkTest, EachSupportedRateIsSet) {
    for (const uint32_t baud : kSupportedBauds) {
        LinkSettings s = link.settings();
        s.baud = baud;
        link.Configure(s);
        Open();
        EXPECT_EQ(Serial().CurrentRate(), baud);
        link.CloseLink();
    }
}

TEST_F(SerialLinkTest, RateOutsideTheTableKeepsThePortsRate) {
    LinkSettings s = link.settings();
    s.baud = 9600;
    link.Configure(s);
    Open();
    link.CloseLink();
    for (const uint32_t odd : {0u, 14400u, 230400u, 12345u}) {
        s.baud = odd;
        link.Configure(s);
        Open();
        EXPECT_EQ(Serial().CurrentRate(), 9600u) << odd;
        EXPECT_EQ(Serial().config().baud, odd);
        ExchangeQuery();
        EXPECT_EQ(link.result(), LinkResult::Ok) << odd;
        link.CloseLink();
    }
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(SerialLinkTest, DeviceThatDoesNotOpenShowsTheDefaultBox) {
    struct Case {
        std::string device;
        uint16_t com;
    };
    for (const Case& c : {Case{"/dev/korvane-no-such-port", 1}, Case{"", 60000}}) {
        sink.Clear();
        LinkSettings s = link.settings();
        s.serial_device = c.device;
        s.com = c.com;
        link.Configure(s);
        link.ResetLink();
        link.OpenLink();
        EXPECT_EQ(link.result(), LinkResult::OpenFailed) << c.device;
        EXPECT_EQ(
            sink.Messages(),
            (std::vector<Message>{{MessageKind::AppDefault, Text(TextId::SerialOpenFailed)}}));
        EXPECT_EQ(Serial().open_error().kind, DeviceErrorKind::NoDevice);
        EXPECT_FALSE(link.IsOpen());
        link.CloseLink();
        EXPECT_EQ(link.close_count(), 0u);
    }
}

TEST_F(SerialLinkTest, PortThatRefusesItsSettingsFailsSilently) {
    // A plain file opens but is no terminal: its settings cannot be read.
    const auto path = std::filesystem::temp_directory_path() /
                      ("korvane-not-a-tty-" + std::to_string(::getpid()));
    std::ofstream(path) << "x";
    LinkSettings s = link.settings();
    s.serial_device = path.string();
    link.Configure(s);
    link.ResetLink();
    link.OpenLink();
    EXPECT_EQ(link.result(), LinkResult::OpenFailed);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(Serial().open_error().kind, DeviceErrorKind::Other);
    EXPECT_FALSE(link.IsOpen());
    std::filesystem::remove(path);
}

// The far end of the pseudo-terminal closing is an adapter unplugged: the
// port opened, so the run ends with an I/O error that names the device and
// the system's reason, never with "could not be opened".
TEST_F(SerialLinkTest, PortLostBetweenExchangesIsAnIoErrorWithTheSystemsReason) {
    Open();
    server.Stop();
    ExchangeQuery(100);
    EXPECT_EQ(link.result(), LinkResult::IoError);
    EXPECT_EQ(link.open_error().kind, DeviceErrorKind::None);
    EXPECT_EQ(link.transfer_error().text.rfind(server.slave_path() + ": ", 0), 0u)
        << link.transfer_error().text;
    EXPECT_NE(link.transfer_error().text.find("Input/output error"), std::string::npos)
        << link.transfer_error().text;
    ASSERT_FALSE(sink.Messages().empty());
    EXPECT_EQ(sink.Messages().back(), (Message{MessageKind::Error, Text(TextId::ReadFailed)}));
}

TEST_F(SerialLinkTest, PortLostWhileAwaitingTheReplyIsAnIoErrorWithTheSystemsReason) {
    panel.InjectFault({FaultKind::Delay, cmd::kQueryState, 1, 2000});
    Open();
    std::thread unplug([&] {
        std::this_thread::sleep_for(milliseconds(200));
        server.Stop();
    });
    const auto start = Clock::now();
    ExchangeQuery(100, 3000);
    unplug.join();
    EXPECT_LT(Clock::now() - start, milliseconds(1500)) << "the hang-up ends the wait";
    EXPECT_EQ(link.result(), LinkResult::IoError);
    EXPECT_EQ(recorder.sent.size(), 1u);
    // The system reports a hang-up as the end of the stream, not as an error.
    EXPECT_EQ(link.transfer_error().text,
              server.slave_path() + ": end of file: the device hung up");
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Error, Text(TextId::ReadFailed)}}));
    // The next open starts clean.
    link.CloseLink();
    link.ResetLink();
    link.OpenLink();
    EXPECT_EQ(link.transfer_error().kind, DeviceErrorKind::None);
}

TEST_F(SerialLinkTest, ClosedPortReportsOpenFailedOnEveryTransfer) {
    link.ResetLink();
    Serial().SerialWrite(kQueryRequest.data(), 6, 100);
    EXPECT_EQ(link.result(), LinkResult::OpenFailed);
    link.ResetLink();
    Serial().SerialRead(100);
    EXPECT_EQ(link.result(), LinkResult::OpenFailed);
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(SerialLinkTest, LineSettingsOutsideTheKnownKindsAreRefused) {
    struct Case {
        uint8_t parity;
        uint8_t stop_bits;
        bool accepted;
    };
    const Case cases[] = {{0, 0, true}, {1, 0, true},  {2, 1, true}, {3, 2, true},
                          {4, 0, true}, {5, 0, false}, {0, 3, false}};
    for (const Case& c : cases) {
        SerialPort port;
        ASSERT_TRUE(port.Open(server.slave_path())) << port.error().text;
        SerialConfig config;
        config.parity = c.parity;
        config.stop_bits = c.stop_bits;
        EXPECT_EQ(port.ApplyLine(config), c.accepted) << int{c.parity} << " " << int{c.stop_bits};
    }
}

}  // namespace
}  // namespace korvane
