// Many simulated panels programmed by one batch: the bound on panels at
// once, one read of each image for every row, and a cancel that ends every
// row with its record.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <memory>
#include <thread>

#include "protocol/run_log.h"
#include "sim/panel.h"
#include "sim/udp_server.h"
#include "support/temp_dir.h"
#include "transfer/batch_run.h"
#include "transfer/image_kind.h"

namespace korvane {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kLoopback = 0x0100007F;

Bytes Pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(i * 7 + seed);
    return b;
}

// Counts the rows under way and remembers the most at once.
class CountingRows : public BatchObserver {
  public:
    MessageSink& RowSink(int) override { return sink; }
    ProgressSink& RowProgress(int) override { return progress; }
    void RowStarted(int) override {
        const int now = ++open;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
    }
    void StepStarted(int, int) override { ++steps; }
    void RowFinished(const BatchRowResult&) override { --open; }

    RecordingSink sink;
    NullProgress progress;
    std::atomic<int> open{0};
    std::atomic<int> most{0};
    std::atomic<int> steps{0};
};

class BatchRunTest : public ::testing::Test {
  protected:
    void Serve(int n, int burn_ms) {
        for (int i = 0; i < n; ++i) {
            panels.push_back(std::make_unique<sim::Panel>());
            panels.back()->SetBurnMs(burn_ms);
            servers.push_back(std::make_unique<sim::UdpServer>(*panels.back()));
            std::string error;
            ASSERT_TRUE(servers.back()->Start(0, &error)) << error;
            LinkSettings s;
            s.mode = LinkMode::Udp;
            s.address = kLoopback;
            s.port = servers.back()->port();
            targets.push_back(s);
        }
    }
    void TearDown() override {
        for (auto& s : servers)
            s->Stop();
    }

    std::shared_ptr<const SharedImage> Image(const Bytes& bytes) {
        const auto path = dir.path() / "zImage";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        auto loaded = SharedImage::Load(path);
        return std::get<std::shared_ptr<const SharedImage>>(loaded);
    }

    BatchStep Kernel(std::shared_ptr<const SharedImage> image) {
        BatchStep step;
        step.image_kind = ImageKind::Kernel;
        step.image = std::move(image);
        return step;
    }

    Bytes Flashed(int panel, size_t n) {
        return panels[static_cast<size_t>(panel)]->ReadFlash(ImageStartAddress(ImageKind::Kernel),
                                                             static_cast<uint32_t>(n));
    }

    testing::TempDir dir;
    std::vector<std::unique_ptr<sim::Panel>> panels;
    std::vector<std::unique_ptr<sim::UdpServer>> servers;
    std::vector<LinkSettings> targets;
};

TEST_F(BatchRunTest, NeverMorePanelsAtOnceThanJobs) {
    Serve(6, 150);
    const Bytes bytes = Pattern(6000, 1);
    CountingRows rows;
    BatchRun run(targets, {Kernel(Image(bytes))}, 2, [] { return ClockValue{}; });
    run.SetLogPath(dir.path() / "runs.jsonl");
    const auto results = run.Run(rows);
    EXPECT_EQ(rows.most.load(), 2);
    ASSERT_EQ(results.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(results[static_cast<size_t>(i)].result, LinkResult::Ok) << i;
        EXPECT_EQ(results[static_cast<size_t>(i)].bytes, bytes.size()) << i;
        EXPECT_EQ(Flashed(i, bytes.size()), bytes) << i;
    }
    EXPECT_EQ(BatchOutcome(results), LinkResult::Ok);
    // Without a bound every panel runs at once.
    CountingRows all;
    BatchRun wide(targets, {Kernel(Image(bytes))}, 0, [] { return ClockValue{}; });
    wide.SetLogPath(dir.path() / "runs.jsonl");
    wide.Run(all);
    EXPECT_EQ(all.most.load(), 6);
}

TEST_F(BatchRunTest, EveryRowSendsTheBytesReadOnceAndEachRowIsOneRecord) {
    Serve(3, 10);
    const Bytes bytes = Pattern(5000, 2);
    const auto image = Image(bytes);
    // The file changes after it was read: no row may see the change.
    const Bytes other = Pattern(7000, 9);
    std::ofstream(image->path(), std::ios::binary)
        .write(reinterpret_cast<const char*>(other.data()),
               static_cast<std::streamsize>(other.size()));
    BatchStep clock;
    clock.kind = BatchStep::Kind::SetClock;
    CountingRows rows;
    BatchRun run(targets, {Kernel(image), clock}, 0,
                 [] { return ClockValue{2031, 4, 5, 6, 7, 8}; });
    const auto log = dir.path() / "runs.jsonl";
    run.SetLogPath(log);
    const auto results = run.Run(rows);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(results[static_cast<size_t>(i)].result, LinkResult::Ok) << i;
        EXPECT_EQ(results[static_cast<size_t>(i)].steps_done, 2) << i;
        EXPECT_EQ(Flashed(i, bytes.size()), bytes) << i;
        EXPECT_EQ(panels[static_cast<size_t>(i)]->Clock().year, 2031) << i;
    }
    const RunLogContents read = ReadRunLog(log);
    ASSERT_EQ(read.records.size(), 3u);
    std::vector<int> rows_seen;
    for (const RunRecord& r : read.records) {
        ASSERT_TRUE(r.batch);
        EXPECT_EQ(r.batch->id, run.id());
        rows_seen.push_back(r.batch->row);
        ASSERT_EQ(r.steps.size(), 2u);
        EXPECT_EQ(r.steps[0].kind, "kernel");
        EXPECT_EQ(r.steps[0].size, bytes.size());
        EXPECT_EQ(r.steps[1].kind, "clock");
        EXPECT_EQ(r.verdict, RunVerdict::Succeeded);
    }
    std::sort(rows_seen.begin(), rows_seen.end());
    EXPECT_EQ(rows_seen, (std::vector<int>{0, 1, 2}));
}

TEST_F(BatchRunTest, ASilentPanelFailsItsRowOnlyAndACancelEndsEveryRow) {
    Serve(4, 10);
    panels[1]->InjectFault({sim::FaultKind::Drop, std::nullopt, 1 << 30});
    const Bytes bytes = Pattern(3000, 3);
    CountingRows rows;
    BatchRun run(targets, {Kernel(Image(bytes))}, 0, [] { return ClockValue{}; });
    run.ShrinkTimeForTests(20);
    run.SetLogPath(dir.path() / "runs.jsonl");
    auto results = run.Run(rows);
    EXPECT_EQ(results[1].result, LinkResult::Timeout);
    for (int i : {0, 2, 3})
        EXPECT_EQ(results[static_cast<size_t>(i)].result, LinkResult::Ok) << i;
    EXPECT_EQ(BatchOutcome(results), LinkResult::Timeout);

    // Every panel slow now: cancelled in the middle, each row ends, its link
    // released once, and its record says so.
    for (auto& p : panels)
        p->InjectFault({sim::FaultKind::Delay, std::nullopt, 1 << 30, 200});
    const auto log = dir.path() / "cancel.jsonl";
    BatchRun slow(targets, {Kernel(Image(Pattern(20000, 4)))}, 3, [] { return ClockValue{}; });
    slow.SetLogPath(log);
    std::atomic<bool> flag{false};
    slow.CancelWhen(&flag);
    CountingRows slow_rows;
    std::thread stop([&] {
        while (slow_rows.steps.load() < 3)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        flag.store(true);
    });
    results = slow.Run(slow_rows);
    stop.join();
    int started = 0;
    for (const BatchRowResult& r : results) {
        EXPECT_EQ(r.result, LinkResult::RunCancelled) << r.row;
        if (r.started) {
            ++started;
            EXPECT_EQ(r.link_closes, 1u) << r.row;
        }
    }
    EXPECT_EQ(started, 3);  // the fourth waited for its turn and never began
    EXPECT_EQ(BatchOutcome(results), LinkResult::RunCancelled);
    const RunLogContents read = ReadRunLog(log);
    ASSERT_EQ(read.records.size(), 3u);
    for (const RunRecord& r : read.records)
        EXPECT_EQ(r.verdict, RunVerdict::Cancelled);
}

}  // namespace
}  // namespace korvane
