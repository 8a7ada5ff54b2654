// The panel's final burn result, however soon after the last acknowledgement
// it comes: on its heels (one read holds both) or after a long burn.
#include <gtest/gtest.h>

#include "link/texts.h"
#include "protocol/command_codes.h"
#include "transfer/transfer_fixture.h"

namespace korvane {
namespace {

using testing::RandomBytes;
using testing::TransferTest;

const std::vector<Message> kDone = {{MessageKind::Plain, Text(TextId::UpdateDone)}};

struct BurnCase {
    LinkMode mode;
    size_t size;
    std::optional<int> burn_ms;  // unset: the panel's default, growing with the image
};

std::string BurnName(const ::testing::TestParamInfo<BurnCase>& info) {
    const BurnCase& c = info.param;
    return std::string(c.mode == LinkMode::Udp ? "udp_" : "serial_") + std::to_string(c.size) +
           (c.burn_ms ? "_burn" + std::to_string(*c.burn_ms) : "_burndefault");
}

class FinalResult : public TransferTest, public ::testing::WithParamInterface<BurnCase> {};

TEST_P(FinalResult, IsHeardHoweverSoonItFollows) {
    const auto [mode, size, burn_ms] = GetParam();
    Serve(mode);
    panel.SetBurnMs(burn_ms);
    const auto bytes = RandomBytes(size, size + 7);
    ASSERT_TRUE(Program(ImageKind::FileSystem, WriteImage(bytes)));
    EXPECT_EQ(link.result(), LinkResult::Ok);
    EXPECT_EQ(sink.Messages(), kDone);
    // Heard the first time: the image went out once. On a loaded machine an
    // acknowledgement may come after its packet's time-out; that packet goes
    // again, and a copy of the last one makes the panel answer once more,
    // which is no fault. A missed final result would send everything again.
    const size_t packets = size / static_cast<size_t>(link.properties().packet_size) + 1;
    EXPECT_GE(panel.FinalResultsSent(), 1);
    EXPECT_LT(DataFrames(), packets + packets / 2 + 1);
    if (size == 0) {
        EXPECT_EQ(panel.FinalResultsSent(), 1);
    }
    EXPECT_EQ(
        panel.ReadFlash(ImageStartAddress(ImageKind::FileSystem), static_cast<uint32_t>(size)),
        bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Burns, FinalResult,
    ::testing::Values(BurnCase{LinkMode::Udp, 0, 0}, BurnCase{LinkMode::Udp, 5000, 0},
                      BurnCase{LinkMode::Udp, 5000, 1}, BurnCase{LinkMode::Udp, 5000, 300},
                      BurnCase{LinkMode::Udp, 4 << 20, 0},
                      BurnCase{LinkMode::Udp, 4 << 20, std::nullopt},
                      BurnCase{LinkMode::Serial, 0, 0}, BurnCase{LinkMode::Serial, 5000, 0},
                      BurnCase{LinkMode::Serial, 5000, 1}, BurnCase{LinkMode::Serial, 5000, 300},
                      BurnCase{LinkMode::Serial, 1 << 20, 0},
                      BurnCase{LinkMode::Serial, 1 << 20, std::nullopt}),
    BurnName);

// The last acknowledgement sent twice in one go, then a long burn that
// fails: the copy must not pass for the final result.
class RepeatedLastAcknowledgement : public TransferTest,
                                    public ::testing::WithParamInterface<LinkMode> {};

TEST_P(RepeatedLastAcknowledgement, NeverPassesForTheFinalResult) {
    Serve(GetParam());
    panel.SetBurnMs(250);
    panel.FailNextFinals(1);
    // One packet: its acknowledgement is the last one.
    panel.InjectFault({sim::FaultKind::Duplicate, cmd::kFlashData});
    const auto bytes = RandomBytes(900, 5);
    ASSERT_TRUE(Program(ImageKind::Logo, WriteImage(bytes)));
    // The failed burn was heard: the image went out a second time.
    EXPECT_EQ(DataFrames(), 2u);
    EXPECT_EQ(panel.FinalResultsSent(), 2);
    EXPECT_EQ(link.result(), LinkResult::Ok);
    EXPECT_EQ(sink.Messages(), kDone);
}

INSTANTIATE_TEST_SUITE_P(Links, RepeatedLastAcknowledgement,
                         ::testing::Values(LinkMode::Udp, LinkMode::Serial), [](const auto& info) {
                             return info.param == LinkMode::Udp ? "Udp" : "Serial";
                         });

// The last acknowledgement comes damaged over a serial line: nothing is sent
// again, and the panel's final result decides, however soon it follows. A
// bad one is heard (the image goes again); one that never comes, or only
// damaged, fails the run with the checksum message. Time is shrunk so that
// the two-minute wait takes little more than a second.
TEST_F(TransferTest, SerialDamagedLastAcknowledgementLetsTheFinalResultDecide) {
    struct Case {
        const char* what;
        int burn_ms;
        int damaged;      // last acknowledgements damaged, one per pass
        int bad_finals;   // final results reporting a bad image
        bool final_lost;  // the final result never comes
        bool final_damaged;
        size_t data_frames;
        std::vector<std::string> texts;
    };
    const std::vector<std::string> done = {Text(TextId::UpdateDone)};
    const std::vector<std::string> damaged = {Text(TextId::ChecksumError),
                                              Text(TextId::UpdateFailed)};
    const Case cases[] = {
        {"good final on its heels", 0, 1, 0, false, false, 1, done},
        {"good final after a long burn", 300, 1, 0, false, false, 1, done},
        {"bad final, then a good pass", 0, 1, 1, false, false, 2, done},
        {"bad final every pass",
         0,
         6,
         6,
         false,
         false,
         6,
         {Text(TextId::PacketChecksumFailed), Text(TextId::UpdateFailed)}},
        {"no final", 0, 1, 0, true, false, 1, damaged},
        {"damaged final", 0, 1, 0, false, true, 1, damaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TransferTest::TearDown();
        Serve(LinkMode::Serial);
        link.ShrinkTimeForTests(100);
        panel.ClearReceived();
        sink.Clear();
        panel.SetBurnMs(c.burn_ms);
        panel.FailNextFinals(c.bad_finals);
        // One packet: its acknowledgement is the last one.
        panel.InjectFault({sim::FaultKind::BadChecksum, cmd::kFlashData, c.damaged});
        if (c.final_lost)
            panel.InjectFault({sim::FaultKind::Drop, cmd::kFlashData, 1, 0, /*final=*/true});
        if (c.final_damaged)
            panel.InjectFault({sim::FaultKind::BadChecksum, cmd::kFlashData, 1, 0, true});
        const auto bytes = RandomBytes(900, 17);
        ASSERT_TRUE(Program(ImageKind::Logo, WriteImage(bytes)));
        EXPECT_EQ(sink.Texts(), c.texts);
        EXPECT_EQ(DataFrames(), c.data_frames);
        if (c.texts == done) {
            EXPECT_EQ(link.result(), LinkResult::Ok);
            EXPECT_EQ(panel.ReadFlash(ImageStartAddress(ImageKind::Logo), 900), bytes);
        }
    }
}

// A sound reply that answers another command is not the final burn result,
// whatever its status says: the run waits on for the real one, and without it
// ends as a time-out. The time is shrunk so that the two-minute wait takes
// little more than a second.
struct StrayFinalCase {
    LinkMode mode;
    bool burn_fails;
};

class FinalOfAnotherCommand : public TransferTest,
                              public ::testing::WithParamInterface<StrayFinalCase> {};

TEST_P(FinalOfAnotherCommand, NeverPassesForTheFinalResult) {
    const auto [mode, burn_fails] = GetParam();
    Serve(mode);
    link.ShrinkTimeForTests(100);
    if (burn_fails)
        panel.FailNextFinals(1);
    panel.InjectFault({sim::FaultKind::WrongEcho, cmd::kFlashData, 1, 0, /*final=*/true});
    ASSERT_TRUE(Program(ImageKind::Logo, WriteImage(RandomBytes(2500, 11))));
    EXPECT_EQ(panel.FinalResultsSent(), 1);
    EXPECT_EQ(link.result(), LinkResult::Timeout);
    const std::vector<Message> failed = {{MessageKind::Error, Text(TextId::Timeout)},
                                         {MessageKind::Error, Text(TextId::UpdateFailed)}};
    EXPECT_EQ(sink.Messages(), failed);
}

INSTANTIATE_TEST_SUITE_P(Links, FinalOfAnotherCommand,
                         ::testing::Values(StrayFinalCase{LinkMode::Udp, false},
                                           StrayFinalCase{LinkMode::Udp, true},
                                           StrayFinalCase{LinkMode::Serial, false},
                                           StrayFinalCase{LinkMode::Serial, true}),
                         [](const auto& info) {
                             return std::string(info.param.mode == LinkMode::Udp ? "Udp"
                                                                                 : "Serial") +
                                    (info.param.burn_fails ? "BurnFails" : "BurnGood");
                         });

}  // namespace
}  // namespace korvane
