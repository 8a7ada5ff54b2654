// The session is the one gate for panel work: whatever is asked for while a
// run holds it is refused, from any thread, and the run goes on untouched.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "link/texts.h"
#include "protocol/command_codes.h"
#include "protocol/panel_operations.h"
#include "transfer/transfer_fixture.h"

namespace korvane {
namespace {

using testing::RandomBytes;
using testing::TransferTest;

class SessionGate : public TransferTest, public ::testing::WithParamInterface<LinkMode> {};

TEST_P(SessionGate, PageOperationsFromAnotherThreadDuringAFlashRunAreRefused) {
    Serve(GetParam());
    const auto bytes = RandomBytes(20000, 12);
    const auto image = WriteImage(bytes);
    const auto requests_before = panel.ReceivedFrames().size();

    struct Asked {
        std::optional<PanelAddress> address;
        std::optional<uint8_t> jumper;
        std::optional<ClockValue> clock;
        bool mac = true;
        bool erase = true;
        LinkResult result_seen = LinkResult::Ok;
    } asked;
    NullProgress other_progress;
    // Mid-run, on the worker's third packet, a second thread (a front end's
    // buttons) asks for page operations and an erase.
    progress.AtStep(3, [&] {
        std::thread ui([&] {
            asked.address = GetPanelAddress(session);
            asked.jumper = QueryPanelState(session);
            asked.clock = GetPanelClock(session, nullptr, nullptr);
            asked.mac = ChangeMac(session, 1);
            asked.erase = StartEraseFlash(session, other_progress);
            asked.result_seen = session.result();
        });
        ui.join();
    });

    ASSERT_TRUE(Program(ImageKind::FileSystem, image));

    EXPECT_FALSE(asked.address);
    EXPECT_FALSE(asked.jumper);
    EXPECT_FALSE(asked.clock);
    EXPECT_FALSE(asked.mac);
    EXPECT_FALSE(asked.erase);
    // The refusals left the run's result alone.
    EXPECT_EQ(asked.result_seen, LinkResult::Ok);
    EXPECT_EQ(link.result(), LinkResult::Ok);
    EXPECT_EQ(sink.Ids(),
              (std::vector<TextId>{TextId::RunActive, TextId::RunActive, TextId::RunActive,
                                   TextId::RunActive, TextId::RunActive, TextId::UpdateDone}));
    // Nothing of the refused operations reached the panel.
    EXPECT_TRUE(panel.FramesWithCommand(cmd::kGetParameter).empty());
    EXPECT_TRUE(panel.FramesWithCommand(cmd::kGetClock).empty());
    EXPECT_TRUE(panel.FramesWithCommand(cmd::kSetParameter).empty());
    EXPECT_EQ(panel.FramesWithCommand(cmd::kFlashPrepare).size(), 1u);
    EXPECT_GT(panel.ReceivedFrames().size(), requests_before);
    EXPECT_EQ(panel.ReadFlash(0x00280000, static_cast<uint32_t>(bytes.size())), bytes);
    EXPECT_FALSE(session.RunActive());

    // Once the run is over the same operation goes through.
    EXPECT_EQ(QueryPanelState(session), std::optional<uint8_t>(1));
}

INSTANTIATE_TEST_SUITE_P(Links, SessionGate, ::testing::Values(LinkMode::Udp, LinkMode::Serial),
                         [](const auto& info) {
                             return std::string(info.param == LinkMode::Udp ? "udp" : "serial");
                         });

TEST_F(TransferTest, TheFrontEndHearsOnceThatARunEnded) {
    Serve(LinkMode::Udp);
    const auto image = WriteImage(RandomBytes(3000, 5));
    std::mutex mutex;
    std::condition_variable ended;
    int calls = 0;
    LinkResult heard = LinkResult::IoError;
    bool claim_free = false;
    ASSERT_TRUE(
        UpdateFirmware(session, transfer, ImageKind::Logo, image, progress, [&](LinkResult r) {
            std::lock_guard lock(mutex);
            ++calls;
            heard = r;
            claim_free = !session.RunActive();
            ended.notify_all();
        }));
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(ended.wait_for(lock, std::chrono::seconds(20), [&] { return calls > 0; }));
    }
    session.WaitForRun();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(heard, LinkResult::Ok);
    // The claim is gone before the front end hears: it may start the next run.
    EXPECT_TRUE(claim_free);
}

TEST_F(TransferTest, AnEraseRunIsHeardWithItsResult) {
    Serve(LinkMode::Serial);
    std::atomic<int> calls{0};
    std::atomic<LinkResult> heard{LinkResult::IoError};
    ASSERT_TRUE(StartEraseFlash(session, progress, [&](LinkResult r) {
        heard.store(r);
        ++calls;
    }));
    session.WaitForRun();
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(heard.load(), LinkResult::Ok);
    EXPECT_EQ(sink.Ids(), std::vector<TextId>{TextId::EraseDone});
}

}  // namespace
}  // namespace korvane
