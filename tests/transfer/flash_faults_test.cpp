// Programming runs that meet a silent or misbehaving panel, and the user's
// Cancel.
#include <gtest/gtest.h>

#include "link/texts.h"
#include "protocol/command_codes.h"
#include "transfer/transfer_fixture.h"

namespace korvane {
namespace {

using sim::FaultKind;
using testing::RandomBytes;
using testing::TransferTest;

const std::vector<Message> kDone = {{MessageKind::Plain, Text(TextId::UpdateDone)}};

class FaultsOverLink : public TransferTest, public ::testing::WithParamInterface<LinkMode> {
  protected:
    void SetUp() override { Serve(GetParam()); }
};

TEST_P(FaultsOverLink, FiveTimeOutsOnAPacketAreRetriedQuietly) {
    const auto bytes = RandomBytes(4500, 4);
    const bool udp = GetParam() == LinkMode::Udp;
    // UDP sends again after each time-out: one lost acknowledgement costs one
    // repeat, five cost five. Serial reads again: an acknowledgement that
    // comes after four read time-outs is still taken.
    if (udp) {
        panel.InjectFault({FaultKind::Drop, cmd::kFlashData, 1});
    } else {
        panel.InjectFault({FaultKind::Delay, cmd::kFlashData, 1, 2200});
    }
    ASSERT_TRUE(Program(ImageKind::BootLoader, WriteImage(bytes)));
    EXPECT_EQ(sink.Messages(), kDone);
    EXPECT_EQ(panel.ReadFlash(0, 4500), bytes);
    if (!udp)
        return;
    panel.ClearReceived();
    sink.Clear();
    panel.InjectFault({FaultKind::Drop, cmd::kFlashData, 5});
    ASSERT_TRUE(Program(ImageKind::BootLoader, WriteImage(bytes)));
    EXPECT_EQ(sink.Messages(), kDone);
    EXPECT_EQ(panel.ReadFlash(0, 4500), bytes);
    EXPECT_EQ(DataFrames(), 5u + 5);
}

TEST_P(FaultsOverLink, SixSilentPacketsEndTheRun) {
    const auto bytes = RandomBytes(3000, 4);
    if (GetParam() == LinkMode::Serial) {
        // A serial panel that never answers: the write goes out, every read
        // times out.
        panel.InjectFault({FaultKind::Drop, cmd::kFlashData, 100});
    } else {
        panel.InjectFault({FaultKind::Drop, cmd::kFlashData, 6});
    }
    const unsigned closes = link.close_count();
    ASSERT_TRUE(Program(ImageKind::Logo, WriteImage(bytes)));
    EXPECT_EQ(link.result(), LinkResult::Timeout);
    const char* shown =
        GetParam() == LinkMode::Udp ? Text(TextId::Timeout) : Text(TextId::ReadFailed);
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{shown, Text(TextId::UpdateFailed)}));
    EXPECT_EQ(DataFrames(), GetParam() == LinkMode::Udp ? 6u : 1u);
    EXPECT_EQ(link.close_count(), closes + 1);
    EXPECT_EQ(progress.position(), 0);
    EXPECT_EQ(progress.text(), "");
}

TEST_P(FaultsOverLink, CancelMidRunEndsSilentlyAndClosesOnce) {
    const auto bytes = RandomBytes(12 * 1024, 6);
    // Pressed while the third packet is on its way.
    progress.AtStep(3, [this] { transfer.Cancel(); });
    const unsigned closes = link.close_count();
    ASSERT_TRUE(Program(ImageKind::Logo, WriteImage(bytes)));
    EXPECT_EQ(link.result(), LinkResult::RunCancelled);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(DataFrames(), 2u);
    EXPECT_EQ(link.close_count(), closes + 1);
    EXPECT_EQ(progress.position(), 0);
    EXPECT_EQ(progress.text(), "");
    EXPECT_FALSE(transfer.CancelPending());
    EXPECT_FALSE(session.RunActive());
}

TEST_P(FaultsOverLink, CancelPressedWhileIdleDoesNotStopTheNextRun) {
    transfer.Cancel();
    const auto bytes = RandomBytes(2048, 9);
    ASSERT_TRUE(Program(ImageKind::BootLoader, WriteImage(bytes)));
    EXPECT_EQ(sink.Messages(), kDone);
    EXPECT_EQ(panel.ReadFlash(0, 2048), bytes);
}

INSTANTIATE_TEST_SUITE_P(Links, FaultsOverLink, ::testing::Values(LinkMode::Udp, LinkMode::Serial),
                         [](const auto& info) {
                             return std::string(info.param == LinkMode::Udp ? "udp" : "serial");
                         });

TEST_F(TransferTest, LateAndRepeatedAcknowledgementsDoNotPassForTheFinalResult) {
    Serve(LinkMode::Udp);
    // An acknowledgement after the time-out, or one that comes twice, leaves
    // a stray reply. Neither it nor the last acknowledgement may be taken for
    // the final result, which here reports a bad image the first time. A
    // copy of the last acknowledgement that trails it by a few milliseconds
    // (a busy network or machine) looks just like a quick panel's final
    // result; the real one follows it.
    struct Case {
        FaultKind kind;
        size_t size;  // 1000: the repeated acknowledgement is the last one
        int delay_ms;
    };
    for (const Case c :
         {Case{FaultKind::Delay, 6000, 700}, Case{FaultKind::Duplicate, 6000, 0},
          Case{FaultKind::Duplicate, 1000, 0}, Case{FaultKind::Duplicate, 1000, 8}}) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes, " + std::to_string(c.delay_ms) + " ms");
        const auto bytes = RandomBytes(c.size, 12);
        sink.Clear();
        panel.InjectFault({c.kind, cmd::kFlashData, 1, c.delay_ms});
        panel.FailNextFinals(1);
        const int finals = panel.FinalResultsSent();
        ASSERT_TRUE(Program(ImageKind::BootLoader, WriteImage(bytes)));
        EXPECT_EQ(sink.Messages(), kDone);
        EXPECT_GE(panel.FinalResultsSent(), finals + 2) << "the bad image was not sent again";
        EXPECT_EQ(panel.ReadFlash(0, static_cast<uint32_t>(c.size)), bytes);
    }
}

// A damaged acknowledgement: over UDP the packet goes again, as after a lost
// one (six in a row end the run with the checksum message); a byte stream
// cannot tell a copy from the final result and stops at once, unless it was
// the last one: then the panel's final result decides (final_result_test).
TEST_F(TransferTest, DamagedAcknowledgements) {
    struct Case {
        LinkMode mode;
        size_t size;  // 900: one packet, its acknowledgement is the last one
        int damaged;
        bool done;
        size_t data_frames;
    };
    const Case cases[] = {
        {LinkMode::Udp, 900, 1, true, 2},    {LinkMode::Udp, 3000, 2, true, 5},
        {LinkMode::Udp, 3000, 6, false, 6},
#ifndef _WIN32  // the simulator's serial side needs a pseudo-terminal
        {LinkMode::Serial, 900, 1, true, 1}, {LinkMode::Serial, 9000, 1, false, 1},
#endif
    };
    const std::vector<std::string> failed = {Text(TextId::ChecksumError),
                                             Text(TextId::UpdateFailed)};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.mode)) + " " + std::to_string(c.size) +
                     " bytes, " + std::to_string(c.damaged) + " damaged");
        TransferTest::TearDown();
        Serve(c.mode);
        panel.ClearReceived();
        sink.Clear();
        const auto bytes = RandomBytes(c.size, c.size + 3);
        panel.InjectFault({FaultKind::BadChecksum, cmd::kFlashData, c.damaged});
        ASSERT_TRUE(Program(ImageKind::BootLoader, WriteImage(bytes)));
        EXPECT_EQ(DataFrames(), c.data_frames);
        if (c.done) {
            EXPECT_EQ(sink.Messages(), kDone);
            EXPECT_EQ(panel.ReadFlash(0, static_cast<uint32_t>(c.size)), bytes);
        } else {
            EXPECT_EQ(link.result(), LinkResult::ChecksumError);
            EXPECT_EQ(sink.Texts(), failed);
        }
    }
}

// A packet whose acknowledgement comes late is sent three times; the answers
// to its copies trail in after the first. Then the answers to the last packet
// are lost, and the panel's final results report a bad image. The trailing
// answers must not pass for the last packet's acknowledgement and its final
// result: the run sends the last packet again, hears the bad burn and sends
// the image again (before, it said "更新完毕!" after four packets, on the
// strength of an answer to a copy of the first).
TEST_F(TransferTest, AnswersToCopiesDoNotPassForTheLastPacketsReplies) {
    Serve(LinkMode::Udp);
    const auto bytes = RandomBytes(1500, 21);
    panel.InjectFault({FaultKind::Delay, cmd::kFlashData, 1, 1200});
    panel.InjectFault({FaultKind::Delay, cmd::kFlashData, 2, 40});
    panel.InjectFault({FaultKind::Drop, cmd::kFlashData, 1});
    panel.FailNextFinals(2);
    ASSERT_TRUE(Program(ImageKind::BootLoader, WriteImage(bytes)));
    EXPECT_EQ(sink.Messages(), kDone);
    EXPECT_EQ(panel.ReadFlash(0, 1500), bytes);
    // Three copies of the first packet, the last one twice, then the image
    // once more after the bad burn.
    EXPECT_EQ(DataFrames(), 3u + 2 + 2);
}

TEST_F(TransferTest, SerialRepliesInBurstsOrAfterNoise) {
    Serve(LinkMode::Serial);
    const auto bytes = RandomBytes(9000, 13);
    panel.InjectFault({FaultKind::Split, cmd::kFlashData, 1});
    panel.InjectFault({FaultKind::Garbage, cmd::kFlashData, 1});
    ASSERT_TRUE(Program(ImageKind::Kernel, WriteImage(bytes)));
    EXPECT_EQ(sink.Texts(),
              (std::vector<std::string>{Text(TextId::KernelDownloaded), Text(TextId::UpdateDone)}));
    EXPECT_EQ(panel.ReadFlash(0x80000, 9000), bytes);
}

}  // namespace
}  // namespace korvane
