#include <gtest/gtest.h>

#include <chrono>

#include "link/texts.h"
#include "link/usb_device.h"
#include "link/usb_link.h"
#include "protocol/command_codes.h"
#include "support/pty_panel.h"

namespace korvane {
namespace {

using korvane::testing::FrameOfLength;
using korvane::testing::UsbPtyPanelTest;
using sim::FaultKind;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

class UsbLinkTest : public UsbPtyPanelTest {
  protected:
    // The USB link itself, which the manager builds for the USB mode the
    // fixture configures.
    UsbLink& Usb() {
        link.TakeConfiguredMode();
        return dynamic_cast<UsbLink&>(link.active());
    }
    void ExchangeQuery(uint32_t timeout_ms = 500) {
        FrameBuffer request{};
        const uint16_t n = BuildFrame(request, cmd::kQueryState, {});
        link.Exchange(request.data(), n, timeout_ms);
    }
};

TEST_F(UsbLinkTest, WholeReplyLandsInTheReplyBuffer) {
    panel.SetJumper(2);
    Open();
    ExchangeQuery();
    EXPECT_EQ(link.result(), LinkResult::Ok);
    EXPECT_EQ(link.reply_length(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(link.reply().begin(), link.reply().begin() + 8),
              (std::vector<uint8_t>{0x5A, 0xA5, 0x00, 0x08, 0x03, 0x01, 0x02, 0x0D}));
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(panel.ReceivedFrames().size(), 1u);
}

TEST_F(UsbLinkTest, OnlyABadBlockCheckIsShown) {
    struct Case {
        FaultKind fault;
        LinkResult expected;
        bool message;
    };
    const Case cases[] = {
        {FaultKind::Drop, LinkResult::Timeout, false},
        {FaultKind::BadChecksum, LinkResult::ChecksumError, true},
        {FaultKind::Truncate, LinkResult::ChecksumError, true},
        // The reply is one block: noise in front of it is not hunted through.
        {FaultKind::Garbage, LinkResult::ChecksumError, true},
    };
    for (const Case& c : cases) {
        sink.Clear();
        panel.InjectFault({c.fault});
        Open();
        ExchangeQuery(150);
        EXPECT_EQ(link.result(), c.expected) << static_cast<int>(c.fault);
        const std::vector<Message> expected_messages =
            c.message ? std::vector<Message>{{MessageKind::Error, Text(TextId::ChecksumError)}}
                      : std::vector<Message>{};
        EXPECT_EQ(sink.Messages(), expected_messages) << static_cast<int>(c.fault);
        link.CloseLink();
    }
}

TEST_F(UsbLinkTest, ReplyLongerThanFiveHundredBytesIsNeverGood) {
    struct Case {
        size_t length;
        LinkResult expected;
    };
    const Case cases[] = {{500, LinkResult::Ok},
                          {501, LinkResult::ChecksumError},
                          {600, LinkResult::ChecksumError},
                          {4000, LinkResult::ChecksumError}};
    for (const Case& c : cases) {
        const auto frame = FrameOfLength(cmd::kGetParameter, c.length);
        // The buffer already holds the whole frame, as if an earlier reply had
        // left it there: the tail beyond 500 bytes must not complete the check.
        std::copy(frame.begin(), frame.end(), link.reply().begin());
        Open();
        server.Inject(frame);
        Usb().UsbRead(300);
        EXPECT_EQ(link.result(), c.expected) << c.length;
        EXPECT_LE(link.reply_length(), kUsbReplyMax);
        link.CloseLink();
    }
}

TEST_F(UsbLinkTest, ReadTakesNoMoreThanFiveHundredBytes) {
    const auto frame = FrameOfLength(cmd::kGetParameter, 900);
    link.reply().fill(0xEE);
    Open();
    server.Inject(frame);
    Usb().UsbRead(300);
    EXPECT_EQ(link.result(), LinkResult::ChecksumError);
    for (size_t i = kUsbReplyMax; i < 900; ++i)
        ASSERT_EQ(link.reply()[i], 0xEE) << i;
}

TEST_F(UsbLinkTest, DeviceThatDoesNotOpenFailsSilently) {
    LinkSettings s = link.settings();
    s.usb_device = "/dev/korvane-usb-no-such-device";
    link.Configure(s);
    link.ResetLink();
    link.OpenLink();
    EXPECT_EQ(link.result(), LinkResult::OpenFailed);
    EXPECT_EQ(Usb().open_error().kind, DeviceErrorKind::NoDevice);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(UsbLinkTest, WithoutADeviceEveryExchangeIsAnIoErrorWithoutMessage) {
    link.ResetLink();
    link.TakeConfiguredMode();  // USB chosen, nothing opened
    const auto start = Clock::now();
    ExchangeQuery(300);
    EXPECT_EQ(link.result(), LinkResult::IoError);
    EXPECT_LT(Clock::now() - start, milliseconds(300));
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_TRUE(recorder.sent.empty());
}

TEST_F(UsbLinkTest, WithoutAPathTheFirstKorvaneUsbNodeIsTaken) {
    if (!ListUsbDevices().empty())
        GTEST_SKIP() << "a " << kUsbDevicePrefix << "N node exists on this machine";
    LinkSettings s = link.settings();
    s.usb_device.clear();
    link.Configure(s);
    link.ResetLink();
    link.OpenLink();
    EXPECT_EQ(link.result(), LinkResult::OpenFailed);
    EXPECT_EQ(Usb().open_error().kind, DeviceErrorKind::NoDevice);
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(UsbLinkTest, FarEndGoneIsAnIoErrorThatSaysWhy) {
    Open();
    server.Stop();
    ExchangeQuery(200);
    EXPECT_EQ(link.result(), LinkResult::IoError);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(link.transfer_error().text.rfind(server.slave_path() + ": ", 0), 0u)
        << link.transfer_error().text;
}

}  // namespace
}  // namespace korvane
