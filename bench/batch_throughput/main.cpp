// Programs one kernel image into 1, 2, 4, 8 and 16 simulated panels at once
// through the batch core (the path of korvane-cli batch), the panels served in
// this process on loopback UDP, each on a port of its own. For each count it
// prints the batch's wall time, its ratio to one panel's run measured in the
// same invocation, and the process's peak resident memory after that count.
// Timing is judged on the best of the rounds (other work on the machine only
// ever adds time); the rounds go through every count in turn, so that a slow
// spell of the machine falls on all of them alike. Memory is read in the
// first round, where the counts come in rising order: the peak is the
// process's high-water mark, so what 16 panels add over one is the growth
// from the first reading to the last (after a warm-up batch, see Bench()).
// Every panel burns for kBurnMs, the same
// for all, so that the figures measure the tool and not the engine's longer
// listen after a final result that comes at once. The simulated panels keep
// only their running sum, so that their flash does not count as the tool's
// memory. --short: 1 and 2 panels, 256 KiB, one round, nothing judged.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "../bench_support.h"
#include "link/link_settings.h"
#include "link/message_sink.h"
#include "sim/panel_set.h"
#include "transfer/batch_run.h"
#include "transfer/shared_image.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using namespace korvane;

constexpr uint32_t kLoopbackHost = 0x7F000001;  // 127.0.0.1, host order (the simulator's)
constexpr uint32_t kLoopbackLink = 0x0100007F;  // the same, first octet in the low byte
constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * kKiB;
constexpr int kBurnMs = 5;

struct Plan {
    std::vector<int> counts;
    uint64_t image_bytes;
    int rounds;
};
const Plan kFull{{1, 2, 4, 8, 16}, 2 * kMiB, 3};
const Plan kShort{{1, 2}, 256 * kKiB, 1};

// Goals: the batch of kGoalPanels in at most kGoalRatio times one panel's
// time, and peak memory from one panel to the most within kGoalGrowthKiB.
constexpr int kGoalPanels = 8;
constexpr double kGoalRatio = 1.5;
constexpr long kGoalGrowthKiB = 4 * 1024;

// Drops every message: a row's first error reaches its result's note.
class QuietSink : public MessageSink {
  public:
    void Show(MessageKind, std::string_view) override {}
};

class QuietRows : public BatchObserver {
  public:
    MessageSink& RowSink(int) override { return sink_; }
    ProgressSink& RowProgress(int) override { return progress_; }

  private:
    QuietSink sink_;
    NullProgress progress_;
};

struct BatchFigures {
    bool ok = false;
    double seconds = 0;
    std::string why;  // what went wrong when !ok
};

// Pseudo-random bytes, so that a misplaced packet changes the panel's sum.
bool WriteRandomImage(const fs::path& path, uint64_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::mt19937_64 rng(25);
    std::vector<uint64_t> piece(size / sizeof(uint64_t) + 1);
    for (auto& word : piece)
        word = rng();
    out.write(reinterpret_cast<const char*>(piece.data()), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

long PeakRssKiB() {
    rusage self{};
    ::getrusage(RUSAGE_SELF, &self);
    return self.ru_maxrss;  // KiB on Linux
}

// One batch over `count` fresh panels, as korvane-cli batch runs it: the
// image read once, every row at once. Counts as done only when every row
// said so, sent the whole image, and every panel burned it with a good sum.
BatchFigures RunBatch(const fs::path& dir, const fs::path& image_path, int count) {
    BatchFigures f;
    sim::PanelSet panels(count);
    for (int i = 0; i < count; ++i) {
        panels.panel(i).SetChecksumOnly(true);
        panels.panel(i).SetBurnMs(kBurnMs);
    }
    std::string error;
    if (!panels.StartUdp(kLoopbackHost, 0, sim::PanelLayout::kPorts, &error)) {
        f.why = "simulator: " + error;
        return f;
    }
    std::vector<LinkSettings> targets;
    for (int i = 0; i < count; ++i) {
        LinkSettings s;
        s.mode = LinkMode::Udp;
        s.address = kLoopbackLink;
        s.port = panels.port(i);
        targets.push_back(s);
    }

    const auto t0 = Clock::now();
    auto loaded = SharedImage::Load(image_path);
    if (!std::holds_alternative<std::shared_ptr<const SharedImage>>(loaded)) {
        f.why = "cannot read the image: " + std::get<std::error_code>(loaded).message();
        return f;
    }
    BatchStep step;
    step.image_kind = ImageKind::Kernel;
    step.image = std::get<std::shared_ptr<const SharedImage>>(std::move(loaded));
    const uint64_t size = step.image->bytes().size();
    BatchRun run(std::move(targets), {std::move(step)}, 0, [] { return ClockValue{}; });
    run.SetLogPath(dir / "runs.jsonl");
    QuietRows rows;
    const std::vector<BatchRowResult> results = run.Run(rows);
    f.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    panels.Stop();

    for (const BatchRowResult& r : results) {
        sim::Panel& panel = panels.panel(r.row);
        if (r.result != LinkResult::Ok || r.bytes != size || panel.GoodFinalsSent() != 1) {
            f.why = "panel " + std::to_string(r.row) + ": result " +
                    std::to_string(static_cast<int>(r.result)) + ", " + std::to_string(r.bytes) +
                    " bytes, " + std::to_string(panel.GoodFinalsSent()) + " good burns" +
                    (r.note ? "; " + r.note->text : std::string());
            return f;
        }
    }
    f.ok = true;
    return f;
}

int Bench(const fs::path& dir, const Plan& plan) {
    const fs::path image = dir / "zImage";
    if (!WriteRandomImage(image, plan.image_bytes)) {
        std::fprintf(stderr, "cannot write the image in %s\n", dir.c_str());
        return 1;
    }
    std::printf(
        "batch programming over loopback UDP: a %llu KiB kernel image into N simulated panels\n"
        "at once (BatchRun, every row at once), the panels served in this process, burn %d ms\n"
        "each; %d round(s) through every N, best of each\n\n",
        static_cast<unsigned long long>(plan.image_bytes / kKiB), kBurnMs, plan.rounds);

    // One batch of one panel first, neither timed nor read: the first image
    // freed in a process raises the allocator's threshold for memory of its
    // own mapping, so that every later image comes from the heap, whose pages
    // stay. Without it the first reading is 2 MiB short of every later one.
    const BatchFigures warm = RunBatch(dir, image, 1);
    if (!warm.ok) {
        std::fprintf(stderr, "warm-up batch: %s\n", warm.why.c_str());
        return 1;
    }
    const long start_rss = PeakRssKiB();
    std::vector<std::vector<double>> times(plan.counts.size());
    std::vector<long> peak_rss(plan.counts.size(), 0);
    for (int round = 0; round < plan.rounds; ++round) {
        for (size_t c = 0; c < plan.counts.size(); ++c) {
            const BatchFigures f = RunBatch(dir, image, plan.counts[c]);
            if (!f.ok) {
                std::fprintf(stderr, "%d panels, round %d: %s\n", plan.counts[c], round + 1,
                             f.why.c_str());
                return 1;
            }
            times[c].push_back(f.seconds);
            if (round == 0)
                peak_rss[c] = PeakRssKiB();
        }
    }

    const double one = *std::min_element(times[0].begin(), times[0].end());
    std::printf("%7s %10s %8s %13s   all runs, s\n", "panels", "best", "ratio", "peak RSS");
    for (size_t c = 0; c < plan.counts.size(); ++c) {
        const double best = *std::min_element(times[c].begin(), times[c].end());
        std::printf("%7d %8.3f s %7.3fx %9ld KiB  ", plan.counts[c], best, best / one, peak_rss[c]);
        for (const double t : times[c])
            std::printf(" %.3f", t);
        std::printf("\n");
    }
    std::printf(
        "(peak RSS: the process's high-water mark after the first round's run of N;\n"
        " %ld KiB before it, after a warm-up batch of one panel)\n\n",
        start_rss);

    const auto goal_panels = std::find(plan.counts.begin(), plan.counts.end(), kGoalPanels);
    if (goal_panels != plan.counts.end()) {
        const auto& t = times[static_cast<size_t>(goal_panels - plan.counts.begin())];
        const double ratio = *std::min_element(t.begin(), t.end()) / one;
        std::printf("goal: %d panels in at most %.2fx one panel's time: %.3fx, %s\n", kGoalPanels,
                    kGoalRatio, ratio, ratio <= kGoalRatio ? "met" : "missed");
    }
    const long growth = peak_rss.back() - peak_rss.front();
    std::printf("goal: peak memory from %d to %d panels within %ld KiB: grew %ld KiB, %s\n",
                plan.counts.front(), plan.counts.back(), kGoalGrowthKiB, growth,
                growth <= kGoalGrowthKiB ? "met" : "missed");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto short_run = korvane::bench::ParseShortOption(argc, argv, "batch_throughput");
    if (!short_run)
        return 2;
    const Plan& plan = *short_run ? kShort : kFull;
    return korvane::bench::InTemporaryFolder("batch",
                                             [&](const fs::path& dir) { return Bench(dir, plan); });
}
