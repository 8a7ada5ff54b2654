// The long waits of erase and programming runs: each says what it waits for
// and how long it may still take, and a cancel set from another thread ends
// it within half a second, the link closed once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "link/texts.h"
#include "protocol/command_codes.h"
#include "protocol/panel_operations.h"
#include "transfer/transfer_fixture.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::RandomBytes;
using testing::TransferTest;

// Notes every wait report; the first one of `kind` may trigger an action.
class WaitRecorder : public NullProgress {
  public:
    void Waiting(WaitFor what, uint32_t remaining_ms) override {
        std::lock_guard lock(mutex_);
        reports_.push_back({what, remaining_ms});
    }
    std::vector<std::pair<WaitFor, uint32_t>> reports() const {
        std::lock_guard lock(mutex_);
        return reports_;
    }
    bool Saw(WaitFor what) const {
        std::lock_guard lock(mutex_);
        for (const auto& r : reports_) {
            if (r.first == what)
                return true;
        }
        return false;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::pair<WaitFor, uint32_t>> reports_;
};

struct WaitCase {
    LinkMode mode;
    WaitFor what;
};

std::string WaitName(const ::testing::TestParamInfo<WaitCase>& info) {
    return std::string(info.param.mode == LinkMode::Udp ? "udp_" : "serial_") +
           WaitForName(info.param.what);
}

class LongWait : public TransferTest, public ::testing::WithParamInterface<WaitCase> {
  protected:
    // Starts the run that reaches the wait under test; the panel is slow to
    // end it (ten seconds).
    bool Start(WaitRecorder& waits) {
        panel.SetJumper(GetParam().what == WaitFor::Erase ? 2 : 1);
        switch (GetParam().what) {
            case WaitFor::Erase:
                panel.InjectFault({sim::FaultKind::Delay, cmd::kFlashPrepare, 1, 10000});
                return StartEraseFlash(session, waits);
            case WaitFor::FlashPrepare:
                panel.InjectFault({sim::FaultKind::Delay, cmd::kFlashPrepare, 1, 10000});
                break;
            case WaitFor::FinalResult:
                panel.SetBurnMs(10000);
                break;
        }
        return UpdateFirmware(session, transfer, ImageKind::Logo, WriteImage(RandomBytes(3000, 4)),
                              waits);
    }
};

TEST_P(LongWait, IsReportedAndEndsSoonAfterACancel) {
    const auto [mode, what] = GetParam();
    Serve(mode);
    std::atomic<bool> interrupt{false};
    // The command line's Ctrl-C: a flag set from elsewhere.
    transfer.CancelWhen(&interrupt);
    link.CancelWhen(&interrupt);
    WaitRecorder waits;
    const unsigned closes = link.close_count();
    ASSERT_TRUE(Start(waits));
    const auto deadline = Clock::now() + 5s;
    while (!waits.Saw(what) && Clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(waits.Saw(what));
    std::this_thread::sleep_for(300ms);
    const auto cancelled_at = Clock::now();
    interrupt.store(true);
    session.WaitForRun();
    const auto took = Clock::now() - cancelled_at;
    EXPECT_LT(took, 500ms);
    EXPECT_EQ(link.result(), LinkResult::RunCancelled);
    EXPECT_EQ(link.close_count(), closes + 1);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(sink.Messages().empty());

    // What was awaited, with a time left that counts down from its limit.
    uint32_t limit = 0;
    switch (what) {
        case WaitFor::Erase:
            limit = mode == LinkMode::Udp ? 500000 : 240000;
            break;
        case WaitFor::FlashPrepare:
            limit = 240000;
            break;
        case WaitFor::FinalResult:
            limit = 120000;
            break;
    }
    std::vector<uint32_t> left;
    for (const auto& [w, ms] : waits.reports()) {
        if (w == what)
            left.push_back(ms);
    }
    ASSERT_GE(left.size(), 3u);
    EXPECT_LE(left.front(), limit);
    EXPECT_GT(left.front(), limit - 1000);
    EXPECT_TRUE(std::is_sorted(left.rbegin(), left.rend()));
    EXPECT_LT(left.back(), left.front());
}

INSTANTIATE_TEST_SUITE_P(Waits, LongWait,
                         ::testing::Values(WaitCase{LinkMode::Udp, WaitFor::Erase},
                                           WaitCase{LinkMode::Serial, WaitFor::Erase},
                                           WaitCase{LinkMode::Udp, WaitFor::FlashPrepare},
                                           WaitCase{LinkMode::Serial, WaitFor::FlashPrepare},
                                           WaitCase{LinkMode::Udp, WaitFor::FinalResult},
                                           WaitCase{LinkMode::Serial, WaitFor::FinalResult}),
                         WaitName);

// The desktop's Cancel button has the same power during a wait.
TEST_F(TransferTest, CancelButtonEndsTheFinalWait) {
    Serve(LinkMode::Udp);
    panel.SetBurnMs(10000);
    WaitRecorder waits;
    ASSERT_TRUE(UpdateFirmware(session, transfer, ImageKind::Logo, WriteImage(RandomBytes(3000, 8)),
                               waits));
    const auto deadline = Clock::now() + 5s;
    while (!waits.Saw(WaitFor::FinalResult) && Clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    const auto cancelled_at = Clock::now();
    transfer.Cancel();
    session.WaitForRun();
    EXPECT_LT(Clock::now() - cancelled_at, 500ms);
    EXPECT_EQ(link.result(), LinkResult::RunCancelled);
    EXPECT_FALSE(transfer.CancelPending());
    // Heard once: nothing is left to stop the next run.
    EXPECT_FALSE(link.CancelPending());
    EXPECT_TRUE(sink.Messages().empty());
}

// A page operation waits in slices too: a cancel ends its retries at once.
TEST_F(TransferTest, CancelEndsAPageOperationWithoutItsRetries) {
    Serve(LinkMode::Udp);
    std::atomic<bool> interrupt{false};
    link.CancelWhen(&interrupt);
    panel.InjectFault({sim::FaultKind::Drop, cmd::kQueryState, 100});
    std::thread presser([&] {
        std::this_thread::sleep_for(300ms);
        interrupt.store(true);
    });
    const auto started = Clock::now();
    EXPECT_FALSE(QueryPanelState(session));
    presser.join();
    EXPECT_LT(Clock::now() - started, 800ms);
    EXPECT_EQ(link.result(), LinkResult::RunCancelled);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_FALSE(link.IsOpen());
}

// Tests may shrink time: a wait that goes unanswered then ends in its limit
// divided by the factor, and says so; unshrunk, the limits are the real ones
// (the waits above).
struct ShrunkCase {
    LinkMode mode;
    WaitFor what;
    uint32_t limit_ms;  // the real limit
};

class ShrunkWait : public TransferTest, public ::testing::WithParamInterface<ShrunkCase> {};

TEST_P(ShrunkWait, EndsInItsLimitDividedByTheFactor) {
    const auto [mode, what, limit_ms] = GetParam();
    Serve(mode);
    constexpr uint32_t kFactor = 100;
    link.ShrinkTimeForTests(kFactor);
    if (what == WaitFor::FlashPrepare) {
        panel.InjectFault({sim::FaultKind::Drop, cmd::kFlashPrepare});
    } else {
        panel.InjectFault({sim::FaultKind::Drop, cmd::kFlashData, 1, 0, /*final=*/true});
    }
    WaitRecorder waits;
    const auto started = Clock::now();
    ASSERT_TRUE(UpdateFirmware(session, transfer, ImageKind::Logo, WriteImage(RandomBytes(3000, 6)),
                               waits));
    session.WaitForRun();
    const auto took = Clock::now() - started;
    const auto shrunk = std::chrono::milliseconds(limit_ms / kFactor);
    EXPECT_GE(took, shrunk);
    EXPECT_LT(took, shrunk + 1500ms);
    EXPECT_EQ(link.result(), LinkResult::Timeout);
    EXPECT_EQ(sink.Texts().back(), Text(TextId::UpdateFailed));
    std::vector<uint32_t> left;
    for (const auto& [w, ms] : waits.reports()) {
        if (w == what)
            left.push_back(ms);
    }
    ASSERT_FALSE(left.empty());
    EXPECT_LE(left.front(), limit_ms / kFactor);
    EXPECT_GT(left.front(), limit_ms / kFactor - 100);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, ShrunkWait,
    ::testing::Values(ShrunkCase{LinkMode::Udp, WaitFor::FlashPrepare, 240000},
                      ShrunkCase{LinkMode::Serial, WaitFor::FlashPrepare, 240000},
                      ShrunkCase{LinkMode::Udp, WaitFor::FinalResult, 120000},
                      ShrunkCase{LinkMode::Serial, WaitFor::FinalResult, 120000}),
    [](const auto& info) {
        return std::string(info.param.mode == LinkMode::Udp ? "udp_" : "serial_") +
               WaitForName(info.param.what);
    });

// A lost acknowledgement costs the packet's real half second, unless a test
// shrank time: then a fraction of it.
TEST_F(TransferTest, PacketTimeOutIsHalfASecondUnlessShrunk) {
    Serve(LinkMode::Udp);
    const auto bytes = RandomBytes(1500, 12);
    const auto image = WriteImage(bytes);
    auto timed = [&] {
        panel.InjectFault({sim::FaultKind::Drop, cmd::kFlashData, 1});
        sink.Clear();
        const auto started = Clock::now();
        EXPECT_TRUE(Program(ImageKind::Logo, image));
        EXPECT_EQ(sink.Texts().back(), Text(TextId::UpdateDone));
        return Clock::now() - started;
    };
    EXPECT_GE(timed(), 500ms);
    link.ShrinkTimeForTests(100);
    EXPECT_LT(timed(), 300ms);
    link.ShrinkTimeForTests(1);
    EXPECT_GE(timed(), 500ms);
}

}  // namespace
}  // namespace korvane
