// Whole programming runs against a panel that drops, delays, repeats and
// corrupts replies and requests at random, splits serial replies and merges
// them with what follows, and burns fast or slowly, over both links. Time is
// shrunk so that a lost reply costs milliseconds. A run that says it
// succeeded must have left the flash exactly as the image (asserted), unless
// the panel's own final check passed it: a damaged request changes data and
// mends the frame, and several such changes can cancel out in the panel's
// 32-bit sum (counted apart). A run that failed although the panel burnt the
// image well is counted and shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/texts.h"
#include "protocol/command_codes.h"
#include "transfer/transfer_fixture.h"

namespace korvane {
namespace {

using Clock = std::chrono::steady_clock;
using testing::RandomBytes;

#ifdef KORVANE_SOAK_LONG
constexpr int kUdpRuns = 10000;
constexpr int kSerialRuns = 2000;
#define KORVANE_SOAK_NAME TwelveThousandSeededRuns
#else
constexpr int kUdpRuns = 100;
constexpr int kSerialRuns = 100;
#define KORVANE_SOAK_NAME TwoHundredSeededRuns
#endif

// Under a sanitizer everything runs several times slower: shrink less, so
// that the time-outs still outlast a sound reply.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr uint32_t kShrink = 10;
#else
constexpr uint32_t kShrink = 50;
#endif

constexpr uint64_t kUdpSeeds = 202612070000;
constexpr uint64_t kSerialSeeds = 202612080000;

// What crossed the link in one run, kept to be shown when its verdict was
// false: the time in ms, then "> cmd [address]" or "< the reply's bytes".
class RunTrace : public FrameObserver {
  public:
    void Start() {
        lines_.clear();
        t0_ = Clock::now();
    }
    void OnSent(std::span<const uint8_t> b) override {
        std::string line = Stamp() + " > " + Hex(b.size() > 4 ? b[4] : 0);
        for (size_t i = 5; i < 9 && b.size() > 9 && b[4] == 0x82; ++i)
            line += (i == 5 ? " @" : "") + Hex(b[i]);
        lines_.push_back(std::move(line));
    }
    void OnReceived(std::span<const uint8_t> b) override {
        std::string line = Stamp() + " <";
        for (const uint8_t x : b)
            line += " " + Hex(x);
        lines_.push_back(std::move(line));
    }
    std::string Text() const {
        std::string all;
        for (const auto& l : lines_)
            all += "      " + l + "\n";
        return all;
    }

  private:
    static std::string Hex(uint8_t v) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        return {kDigits[v >> 4], kDigits[v & 0xF]};
    }
    std::string Stamp() const {
        char text[32];
        std::snprintf(text, sizeof text, "%9.2f",
                      std::chrono::duration<double, std::milli>(Clock::now() - t0_).count());
        return text;
    }
    std::vector<std::string> lines_;
    Clock::time_point t0_{};
};

// What one run did, as the user was told and as the panel holds it.
struct RunOutcome {
    uint64_t seed = 0;
    std::string messages;  // the texts shown, in order
    bool said_done = false;
    bool flash_matches = false;
    bool burn_good = false;  // the image is in flash and the panel sent word of it
    // The flash differs from the image but sums the same: the panel's final
    // check cannot see it, so no verdict of the tool's could.
    bool same_sum = false;
    bool silent = false;  // ended without a word
    bool left_open = false;
    std::string setup;  // the run's image and faults
    std::string trace;  // what crossed the link
};

struct Tally {
    int runs = 0;
    int succeeded = 0;
    int false_successes = 0;
    int false_failures = 0;
    int unseen_by_panel = 0;
    int silent = 0;
    int left_open = 0;
    std::map<std::string, int> by_message;
    std::vector<std::string> notes;  // the false verdicts, with their seeds
    double seconds = 0;

    void Add(const RunOutcome& o) {
        ++runs;
        ++by_message[o.messages];
        if (o.said_done)
            ++succeeded;
        if (o.silent)
            ++silent;
        if (o.left_open)
            ++left_open;
        if (o.said_done && !o.flash_matches && o.same_sum) {
            ++unseen_by_panel;
            notes.push_back("wrong content the panel's sum passed, seed " + std::to_string(o.seed) +
                            ": " + o.setup);
        } else if (o.said_done && !o.flash_matches) {
            ++false_successes;
            notes.push_back("false success, seed " + std::to_string(o.seed) + ": " + o.setup +
                            "\n" + o.trace);
        }
        if (!o.said_done && o.burn_good) {
            ++false_failures;
            notes.push_back("false failure, seed " + std::to_string(o.seed) + ": " + o.messages +
                            "; " + o.setup);
        }
    }
    void Merge(const Tally& other) {
        runs += other.runs;
        succeeded += other.succeeded;
        false_successes += other.false_successes;
        false_failures += other.false_failures;
        unseen_by_panel += other.unseen_by_panel;
        silent += other.silent;
        left_open += other.left_open;
        for (const auto& [text, n] : other.by_message)
            by_message[text] += n;
        notes.insert(notes.end(), other.notes.begin(), other.notes.end());
        seconds = std::max(seconds, other.seconds);
    }
};

// One panel on one link, and everything a front end keeps for its runs.
class Rig {
  public:
    explicit Rig(LinkMode mode) : mode_(mode) {
        LinkSettings s;
        s.mode = mode;
        if (mode == LinkMode::Udp) {
            udp_ = std::make_unique<sim::UdpServer>(panel_);
            started_ = udp_->Start(0, &error_);
            s.address = 0x0100007F;  // 127.0.0.1, first octet low
            s.port = udp_->port();
        } else {
            pty_ = std::make_unique<sim::PtyServer>(panel_);
            started_ = pty_->Start(&error_);
            s.baud = kDefaultBaud;
            s.serial_device = pty_->slave_path();
        }
        link_.Configure(s);
        link_.ShrinkTimeForTests(kShrink);
        link_.SetObserver(&trace_);
    }
    ~Rig() {
        session_.WaitForRun();
        link_.CloseLink();
        if (udp_)
            udp_->Stop();
        if (pty_)
            pty_->Stop();
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    bool started() const { return started_; }
    const std::string& error() const { return error_; }

    RunOutcome Run(uint64_t seed) {
        std::mt19937_64 rng(seed);
        auto uniform = [&rng](double high) {
            return std::uniform_real_distribution<double>(0, high)(rng);
        };
        const bool serial = mode_ == LinkMode::Serial;
        // The packet's time-out as the rig counts it: delays either side.
        const int packet_ms = static_cast<int>(link_.context().ScaledWait(kPacketTimeoutMs));
        sim::RandomFaults faults;
        faults.seed = seed;
        faults.drop = uniform(0.04);
        faults.delay = uniform(0.03);
        faults.delay_ms = packet_ms / 2 + static_cast<int>(rng() % (2 * packet_ms));
        faults.duplicate = uniform(0.03);
        faults.corrupt_reply = uniform(0.01);
        faults.corrupt_request = uniform(0.02);
        faults.split = serial ? uniform(0.05) : 0;
        faults.split_gap_ms = 2 + static_cast<int>(rng() % 3);
        faults.commands = {cmd::kFlashData, cmd::kQueryState, cmd::kEnterDownload};
        // A lost flash-prepare reply holds the run for that whole wait: in
        // a few runs only.
        if (rng() % 32 == 0)
            faults.commands.push_back(cmd::kFlashPrepare);
        panel_.SetRandomFaults(faults);
        // Fast: the final result on the heels of the last acknowledgement,
        // in one read on a serial line. Slow: a panel that takes its time.
        const int burn_ms = rng() % 2 ? 0 : 2 + static_cast<int>(rng() % 4);
        panel_.SetBurnMs(burn_ms);

        size_t size;
        switch (rng() % 20) {
            case 0:
            case 1:
                size = rng() % 64;
                break;
            case 2:
                size = (256 + rng() % 129) * 1024;  // 256 to 384 KiB
                break;
            case 3:
            case 4:
            case 5:
            case 6:
                size = 16 * 1024 + rng() % (112 * 1024);
                break;
            default:
                size = 64 + rng() % (16 * 1024);
                break;
        }
        const ImageKind kinds[] = {ImageKind::Kernel, ImageKind::BootLoader, ImageKind::FileSystem,
                                   ImageKind::Logo};
        const ImageKind kind = kinds[rng() % 4];
        const auto bytes = RandomBytes(size, seed);
        const auto path = dir_.path() / "image.dat";
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));

        sink_.Clear();
        panel_.ClearReceived();
        const int good_finals = panel_.GoodFinalsSent();
        trace_.Start();
        const bool started = UpdateFirmware(session_, transfer_, kind, path, progress_);
        session_.WaitForRun();

        RunOutcome o;
        o.seed = seed;
        const auto texts = sink_.Texts();
        for (const auto& t : texts)
            o.messages += (o.messages.empty() ? "" : " / ") + t;
        if (!started && texts.empty())
            o.messages = "(not started)";
        o.silent = texts.empty();
        o.said_done = !texts.empty() && texts.back() == Text(TextId::UpdateDone) &&
                      link_.result() == LinkResult::Ok;
        const auto flash = panel_.ReadFlash(ImageStartAddress(kind), static_cast<uint32_t>(size));
        o.flash_matches = flash == bytes;
        o.same_sum =
            !o.flash_matches && sim::SimImageChecksum(flash) == sim::SimImageChecksum(bytes);
        o.burn_good = panel_.GoodFinalsSent() > good_finals && o.flash_matches;
        o.left_open = link_.IsOpen();
        char setup[200];
        std::snprintf(setup, sizeof setup,
                      "kind %d, %zu bytes, burn %d ms; drop %.3f, delay %.3f of %d ms, copy %.3f, "
                      "damaged reply %.3f, request %.3f, split %.3f",
                      static_cast<int>(kind), size, burn_ms, faults.drop, faults.delay,
                      faults.delay_ms, faults.duplicate, faults.corrupt_reply,
                      faults.corrupt_request, faults.split);
        o.setup = setup;
        if (o.said_done != o.flash_matches)
            o.trace = trace_.Text();
        return o;
    }

  private:
    LinkMode mode_;
    sim::Panel panel_;
    std::unique_ptr<sim::UdpServer> udp_;
    std::unique_ptr<sim::PtyServer> pty_;
    bool started_ = false;
    std::string error_;
    RecordingSink sink_;
    LinkManager link_{sink_};
    PanelSession session_{link_, FrontEnd::Cli};
    FlashTransfer transfer_{link_};
    NullProgress progress_;
    RunTrace trace_;
    testing::TempDir dir_;
};

// Runs `count` seeds from `base` on `workers` rigs of `mode`, each on its
// own thread.
Tally Soak(LinkMode mode, uint64_t base, int count, int workers, std::string* error) {
    std::vector<Tally> tallies(static_cast<size_t>(workers));
    std::vector<std::thread> threads;
    std::mutex error_mutex;
    const auto started = Clock::now();
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([&, w] {
            Rig rig(mode);
            if (!rig.started()) {
                std::lock_guard lock(error_mutex);
                *error = rig.error();
                return;
            }
            Tally& tally = tallies[static_cast<size_t>(w)];
            for (int run = w; run < count; run += workers) {
                tally.Add(rig.Run(base + static_cast<uint64_t>(run)));
                // A sign of life in a long soak.
                if (run % 1000 == 999)
                    std::printf("  %s: run %d done\n", mode == LinkMode::Udp ? "udp" : "serial",
                                run + 1);
            }
        });
    }
    for (auto& t : threads)
        t.join();
    Tally total;
    for (const auto& t : tallies)
        total.Merge(t);
    total.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    return total;
}

void PrintSummary(const char* link, const Tally& t) {
    std::printf("\n== %s: %d runs in %.1f s, %d said done\n", link, t.runs, t.seconds, t.succeeded);
    std::printf("   false successes (done, flash differs): %d\n", t.false_successes);
    std::printf("   false failures (failed, burn good):    %d\n", t.false_failures);
    std::printf(
        "   done over wrong content that sums as the image (the panel's check passed it): "
        "%d\n",
        t.unseen_by_panel);
    std::printf("   ended without a word: %d, link left open: %d\n", t.silent, t.left_open);
    std::printf("   %6s  %s\n", "runs", "messages shown");
    std::vector<std::pair<std::string, int>> rows(t.by_message.begin(), t.by_message.end());
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& [text, n] : rows)
        std::printf("   %6d  %s\n", n, text.c_str());
    for (const auto& note : t.notes)
        std::printf("   %s\n", note.c_str());
}

TEST(ProgrammingSoak, KORVANE_SOAK_NAME) {
    std::printf(
        "soak: %d UDP runs (seeds from %llu), %d serial runs (seeds from %llu), time "
        "shrunk %u times, waits for a reply at least %u ms\n",
        kUdpRuns, static_cast<unsigned long long>(kUdpSeeds), kSerialRuns,
        static_cast<unsigned long long>(kSerialSeeds), kShrink, kShrunkWaitFloorMs);
    const auto started = Clock::now();
    std::string udp_error, serial_error;
    Tally udp, serial;
    // Both links at once: the runs mostly wait.
#ifdef _WIN32
    // The simulator's serial side needs a pseudo-terminal (POSIX).
    constexpr int serial_runs = 0;
#else
    constexpr int serial_runs = kSerialRuns;
#endif
    std::thread serial_thread([&] {
        if (serial_runs > 0)
            serial = Soak(LinkMode::Serial, kSerialSeeds, serial_runs, 2, &serial_error);
    });
    udp = Soak(LinkMode::Udp, kUdpSeeds, kUdpRuns, 4, &udp_error);
    serial_thread.join();
    const double wall = std::chrono::duration<double>(Clock::now() - started).count();
    ASSERT_TRUE(udp_error.empty()) << udp_error;
    ASSERT_TRUE(serial_error.empty()) << serial_error;

    PrintSummary("udp", udp);
    PrintSummary("serial", serial);
    std::printf("\n== wall time %.1f s\n", wall);
    std::fflush(stdout);

    for (const Tally* t : {&udp, &serial}) {
        if (t->runs == 0 && serial_runs == 0)
            continue;
        EXPECT_EQ(t->false_successes, 0) << "success reported over wrong flash content";
        EXPECT_EQ(t->silent, 0) << "a run ended without a word";
        EXPECT_EQ(t->left_open, 0);
        // With these rates most runs get through; few would mean the
        // retries are broken.
        EXPECT_GT(t->succeeded, t->runs * 3 / 4);
    }
    EXPECT_EQ(udp.runs, kUdpRuns);
    EXPECT_EQ(serial.runs, serial_runs);
}

}  // namespace
}  // namespace korvane
