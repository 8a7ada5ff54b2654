// Programs a 32 MiB image into the simulated panel over loopback UDP, through
// the flash transfer engine and through a bare reference loop (its own socket,
// the same frames, the same simulator, no engine), runs alternating, and
// prints throughput and time per packet of both with their ratio, best and
// median of the runs (the target is judged on the best: other work on the
// machine only ever adds time), and each run's time cut into setup, data and
// tail, so that a fixed cost shows apart from a per-packet one. The
// comparison is made twice, so that both sides measure the tool and not a
// simulated burn: against a panel that reports its final result at once
// (burn time 0), where the engine takes it for a possible copy of the last
// acknowledgement and listens longer, and against one that burns for
// kShortBurnMs, the same for both sides and shown as its own column. Then programs a 1 MiB and a
// 256 MiB image, each in a child process of its own, and prints each child's peak resident memory,
// which must not grow with the image size. --short: 1 MiB, one run each and 256 KiB beside 4 MiB
// for memory, so that the test suite sees the benchmark work (no figure is judged there).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "../bench_support.h"
#include "link/frame.h"
#include "link/link_manager.h"
#include "link/message_sink.h"
#include "protocol/command_codes.h"
#include "protocol/panel_session.h"
#include "protocol/requests.h"
#include "sim/panel.h"
#include "sim/udp_server.h"
#include "transfer/firmware_run.h"
#include "transfer/flash_transfer.h"
#include "transfer/image_checksum.h"
#include "transfer/image_kind.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using namespace korvane;

constexpr uint32_t kLoopback = 0x0100007F;  // 127.0.0.1, first octet in the low byte
constexpr ImageKind kKind = ImageKind::FileSystem;
constexpr size_t kPacketBytes = 1024;
constexpr uint64_t kMiB = 1024 * 1024;
struct Sizes {
    uint64_t compare;
    uint64_t small;
    uint64_t large;
    int rounds;  // reference and engine runs each, alternating
};
constexpr Sizes kFull{32 * kMiB, 1 * kMiB, 256 * kMiB, 7};
constexpr Sizes kShort{1 * kMiB, kMiB / 4, 4 * kMiB, 1};
constexpr double kTargetRatio = 1.05;
constexpr int kShortBurnMs = 5;
// Peak resident memory of the large run may exceed the small one's by this
// much and still count as not growing (allocator and page noise).
constexpr long kRssSlackKiB = 1024;

// Reference loop time-outs: generous, since it never sends anything again.
constexpr int kReplyTimeoutMs = 2000;

// The reference's wait for the final result: a reply's, plus the burn a
// panel with the simulator's default burn time would take for the image, so
// that the wait fits any image even where the panel does burn.
int FinalTimeoutMs(uint64_t bytes) {
    return kReplyTimeoutMs + static_cast<int>(bytes / 4096) * sim::kBurnMsPer4KiB;
}

struct RunFigures {
    bool ok = false;
    double seconds = 0;
    uint64_t packets = 0;
    // The run cut in three: up to the first data packet sent (checks, image
    // sum, flash-prepare), from there to the final result received, and from
    // there to the end of the run.
    double setup_s = 0;
    double data_s = 0;
    double tail_s = 0;
    std::string why;  // what went wrong when !ok
};

void SetPhases(RunFigures& r, Clock::time_point t0, Clock::time_point first_data,
               Clock::time_point final_result, Clock::time_point t1) {
    using Seconds = std::chrono::duration<double>;
    r.seconds = Seconds(t1 - t0).count();
    r.setup_s = Seconds(first_data - t0).count();
    r.data_s = Seconds(final_result - first_data).count();
    r.tail_s = Seconds(t1 - final_result).count();
}

// Notes when the engine sends its first data packet and when its last
// datagram arrives: a flag test per frame sent, a clock read per datagram.
class PhaseObserver : public FrameObserver {
  public:
    void OnSent(std::span<const uint8_t> bytes) override {
        if (!data_seen_ && bytes.size() > frame_offset::kCommand &&
            bytes[frame_offset::kCommand] == cmd::kFlashData) {
            data_seen_ = true;
            first_data_ = Clock::now();
        }
    }
    void OnReceived(std::span<const uint8_t> bytes) override {
        if (!bytes.empty())
            last_received_ = Clock::now();
    }
    Clock::time_point first_data() const { return first_data_; }
    Clock::time_point last_received() const { return last_received_; }

  private:
    bool data_seen_ = false;
    Clock::time_point first_data_{};
    Clock::time_point last_received_{};
};

uint64_t PacketsFor(uint64_t bytes) {
    return (bytes + kPacketBytes - 1) / kPacketBytes;
}

// Pseudo-random bytes, written a piece at a time so that no image is held whole.
bool WriteRandomImage(const fs::path& path, uint64_t size, uint64_t seed) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::mt19937_64 rng(seed);
    std::vector<uint64_t> piece(8192);
    for (uint64_t left = size; left > 0;) {
        for (auto& word : piece)
            word = rng();
        const uint64_t n = std::min<uint64_t>(left, piece.size() * sizeof(uint64_t));
        out.write(reinterpret_cast<const char*>(piece.data()), static_cast<std::streamsize>(n));
        left -= n;
    }
    return static_cast<bool>(out);
}

// A file of zeros that takes no disk space.
bool WriteSparseImage(const fs::path& path, uint64_t size) {
    { std::ofstream out(path, std::ios::binary | std::ios::trunc); }
    std::error_code ec;
    fs::resize_file(path, size, ec);
    return !ec;
}

RunFigures Failed(std::string why) {
    RunFigures r;
    r.why = std::move(why);
    return r;
}

// A simulated panel that keeps only its running sum (so that images beyond
// its flash fit) and burns for `burn_ms`, served on loopback.
struct ServedPanel {
    explicit ServedPanel(int burn_ms) {
        panel.SetChecksumOnly(true);
        panel.SetBurnMs(burn_ms);
    }
    bool Start() { return server.Start(0, &error); }
    sim::Panel panel;
    sim::UdpServer server{panel};
    std::string error;
};

// One whole programming run through the engine, as the command line starts it.
RunFigures EngineRun(const fs::path& image, uint64_t size, int burn_ms) {
    ServedPanel served(burn_ms);
    if (!served.Start())
        return Failed("simulator: " + served.error);
    sim::Panel& panel = served.panel;
    sim::UdpServer& server = served.server;

    RecordingSink sink;
    NullProgress progress;
    LinkManager link{sink};
    LinkSettings settings;
    settings.mode = LinkMode::Udp;
    settings.address = kLoopback;
    settings.port = server.port();
    link.Configure(settings);
    PhaseObserver phases;
    link.SetObserver(&phases);
    PanelSession session{link, FrontEnd::Cli};
    FlashTransfer transfer{link};

    const auto t0 = Clock::now();
    const bool started = UpdateFirmware(session, transfer, kKind, image, progress);
    if (started)
        session.WaitForRun();
    const auto t1 = Clock::now();
    server.Stop();

    const auto texts = sink.Texts();
    const bool done =
        std::find(texts.begin(), texts.end(), Text(TextId::UpdateDone)) != texts.end();
    if (!started || !done || link.result() != LinkResult::Ok || panel.FinalResultsSent() != 1 ||
        transfer.packets_sent() != PacketsFor(size)) {
        std::string why = "engine run failed (result " +
                          std::to_string(static_cast<int>(link.result())) + ", finals " +
                          std::to_string(panel.FinalResultsSent()) + ", packets " +
                          std::to_string(transfer.packets_sent()) + ")";
        for (const auto& t : texts)
            why += "; " + t;
        return Failed(why);
    }
    RunFigures r;
    r.ok = true;
    SetPhases(r, t0, phases.first_data(), phases.last_received(), t1);
    r.packets = transfer.packets_sent();
    return r;
}

// The reference's own socket: one datagram out, one datagram back.
class BareSocket {
  public:
    explicit BareSocket(uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        to_.sin_family = AF_INET;
        to_.sin_port = htons(port);
        to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~BareSocket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    BareSocket(const BareSocket&) = delete;
    BareSocket& operator=(const BareSocket&) = delete;

    bool ok() const { return fd_ >= 0; }

    bool Send(const uint8_t* bytes, size_t length) {
        return ::sendto(fd_, bytes, length, 0, reinterpret_cast<const sockaddr*>(&to_),
                        sizeof to_) == static_cast<ssize_t>(length);
    }

    // Bytes of one reply datagram, or -1 on time-out or failure.
    long Receive(FrameBuffer& reply, int timeout_ms) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeout_ms) != 1)
            return -1;
        return static_cast<long>(::recv(fd_, reply.data(), reply.size(), 0));
    }

  private:
    int fd_ = -1;
    sockaddr_in to_{};
};

// A sound reply to `command` carrying status 1.
bool GoodReply(const FrameBuffer& reply, long n, uint8_t command) {
    return n >= static_cast<long>(kFrameMin) && ValidateReply(reply, static_cast<size_t>(n)) &&
           reply[frame_offset::kCommand] == command && reply[frame_offset::kStatus] == 1;
}

// The same frames as the engine's data phase, from a bare loop: the image sum,
// flash-prepare and its reply, every packet and its acknowledgement, the
// final burn result. Nothing is sent again; any loss fails the run.
RunFigures ReferenceRun(const fs::path& image, uint64_t size, int burn_ms) {
    ServedPanel served(burn_ms);
    if (!served.Start())
        return Failed("simulator: " + served.error);
    sim::Panel& panel = served.panel;
    sim::UdpServer& server = served.server;

    const auto t0 = Clock::now();
    BareSocket sock(server.port());
    if (!sock.ok())
        return Failed(std::string("socket: ") + std::strerror(errno));
    const std::optional<uint32_t> sum = ImageChecksum(image);
    if (!sum)
        return Failed("reference: cannot sum the image");
    const uint32_t start = ImageStartAddress(kKind);
    FrameBuffer request{};
    FrameBuffer reply{};
    uint16_t length =
        BuildFlashPrepare(request, kKind, start, start + static_cast<uint32_t>(size), *sum);
    if (!sock.Send(request.data(), length))
        return Failed("reference: flash-prepare not sent");
    if (!GoodReply(reply, sock.Receive(reply, kReplyTimeoutMs), cmd::kFlashPrepare))
        return Failed("reference: flash-prepare refused or unanswered");

    std::FILE* file = std::fopen(image.c_str(), "rb");
    if (file == nullptr)
        return Failed("reference: cannot open the image");
    uint8_t packet[kPacketBytes];
    uint32_t address = start;
    uint64_t packets = 0;
    Clock::time_point first_data{};
    for (;;) {
        const size_t got = std::fread(packet, 1, sizeof packet, file);
        if (got == 0)
            break;
        length = BuildFlashData(request, address, {packet, got});
        if (packets == 0)
            first_data = Clock::now();
        if (!sock.Send(request.data(), length)) {
            std::fclose(file);
            return Failed("reference: packet not sent");
        }
        if (!GoodReply(reply, sock.Receive(reply, kReplyTimeoutMs), cmd::kFlashData)) {
            std::fclose(file);
            return Failed("reference: packet " + std::to_string(packets) + " not acknowledged");
        }
        address += static_cast<uint32_t>(got);
        ++packets;
    }
    std::fclose(file);
    // The final burn result: status 1 only when the panel's sum matched.
    if (!GoodReply(reply, sock.Receive(reply, FinalTimeoutMs(size)), cmd::kFlashData))
        return Failed("reference: no good final result");
    const auto t1 = Clock::now();
    server.Stop();

    if (packets != PacketsFor(size) || panel.FinalResultsSent() != 1)
        return Failed("reference: packet or final result count off");
    RunFigures r;
    r.ok = true;
    SetPhases(r, t0, first_data, t1, t1);
    r.packets = packets;
    return r;
}

struct ChildFigures {
    bool ok = false;
    long max_rss_kib = 0;
    double seconds = 0;
    uint64_t packets = 0;
};

// Runs the engine on `image` in a child process, so that its peak resident
// memory is its own and no earlier run's.
ChildFigures EngineRunInChild(const fs::path& image, uint64_t size) {
    ChildFigures c;
    int fds[2];
    if (::pipe(fds) != 0)
        return c;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return c;
    }
    if (pid == 0) {
        ::close(fds[0]);
        const RunFigures r = EngineRun(image, size, 0);
        if (!r.ok)
            std::fprintf(stderr, "%s\n", r.why.c_str());
        const double out[2] = {r.seconds, static_cast<double>(r.packets)};
        [[maybe_unused]] const auto n = ::write(fds[1], out, sizeof out);
        ::_exit(r.ok ? 0 : 1);
    }
    ::close(fds[1]);
    double in[2] = {0, 0};
    const bool got = ::read(fds[0], in, sizeof in) == static_cast<ssize_t>(sizeof in);
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid)
        return c;
    c.ok = got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    c.max_rss_kib = usage.ru_maxrss;  // KiB on Linux
    c.seconds = in[0];
    c.packets = static_cast<uint64_t>(in[1]);
    return c;
}

double MiBPerSecond(uint64_t bytes, double seconds) {
    return static_cast<double>(bytes) / static_cast<double>(kMiB) / seconds;
}

double MicrosPerPacket(double seconds, uint64_t packets) {
    return seconds * 1e6 / static_cast<double>(packets);
}

void PrintRow(const char* name, const char* which, uint64_t bytes, const RunFigures& r) {
    std::printf("%-10s %-7s %6llu KiB  %7.1f MiB/s  %6.2f us/packet  (%.3f s, %llu packets)\n",
                name, which, static_cast<unsigned long long>(bytes / 1024),
                MiBPerSecond(bytes, r.seconds), MicrosPerPacket(r.seconds, r.packets), r.seconds,
                static_cast<unsigned long long>(r.packets));
}

RunFigures Best(std::vector<RunFigures> runs) {
    return *std::min_element(runs.begin(), runs.end(),
                             [](const auto& a, const auto& b) { return a.seconds < b.seconds; });
}

RunFigures Median(std::vector<RunFigures> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const auto& a, const auto& b) { return a.seconds < b.seconds; });
    return runs[runs.size() / 2];
}

// Alternating runs of both sides against a panel that burns for `burn_ms`;
// prints the figures and says whether every run went through.
bool Compare(const fs::path& compare, uint64_t bytes, int rounds, int burn_ms) {
    std::printf("-- panel burn time %d ms%s, the same for both sides\n", burn_ms,
                burn_ms == 0 ? " (the final result on the heels of the last acknowledgement)" : "");
    bool ok = true;
    std::vector<RunFigures> reference;
    std::vector<RunFigures> engine;
    for (int round = 0; round < rounds; ++round) {
        reference.push_back(ReferenceRun(compare, bytes, burn_ms));
        engine.push_back(EngineRun(compare, bytes, burn_ms));
    }
    for (const auto* runs : {&reference, &engine}) {
        for (const auto& r : *runs) {
            if (!r.ok) {
                std::fprintf(stderr, "%s\n", r.why.c_str());
                ok = false;
            }
        }
    }

    if (ok) {
        const RunFigures ref_best = Best(reference);
        const RunFigures eng_best = Best(engine);
        const RunFigures ref_median = Median(reference);
        const RunFigures eng_median = Median(engine);
        PrintRow("reference", "best", bytes, ref_best);
        PrintRow("engine", "best", bytes, eng_best);
        PrintRow("reference", "median", bytes, ref_median);
        PrintRow("engine", "median", bytes, eng_median);
        std::printf("all runs, s:  reference");
        for (const auto& r : reference)
            std::printf(" %.3f", r.seconds);
        std::printf("  engine");
        for (const auto& r : engine)
            std::printf(" %.3f", r.seconds);
        std::printf("\n\nbest runs by phase, ms   setup     data     tail   data us/packet\n");
        for (const auto* r : {&ref_best, &eng_best}) {
            std::printf("%-22s %8.1f %8.1f %8.1f   %6.2f\n",
                        r == &ref_best ? "reference" : "engine", r->setup_s * 1e3, r->data_s * 1e3,
                        r->tail_s * 1e3, MicrosPerPacket(r->data_s, r->packets));
        }
        std::printf(
            "(setup: up to the first data packet; data: to the final result received, which the\n"
            " panel sends after its burn; tail: to the end of the run, the engine's listen for a\n"
            " late final result included)\n\n");
        const double ratio_best = eng_best.seconds / ref_best.seconds;
        const double ratio_median = eng_median.seconds / ref_median.seconds;
        const double ratio_data = eng_best.data_s / ref_best.data_s;
        std::printf(
            "ratio engine/reference  whole run: best %.3fx, median %.3fx;  data phase of "
            "the best runs %.3fx\n",
            ratio_best, ratio_median, ratio_data);
        std::printf("target: whole run, best of %d, <= %.2fx: %s\n", rounds, kTargetRatio,
                    ratio_best <= kTargetRatio ? "met" : "target missed");
    }

    std::printf("\n");
    return ok;
}

int Bench(const fs::path& dir, const Sizes& sizes) {
    const uint64_t kCompareBytes = sizes.compare;
    const uint64_t kSmallBytes = sizes.small;
    const uint64_t kLargeBytes = sizes.large;
    const int kRounds = sizes.rounds;
    bool failed = false;
    const fs::path small = dir / "image-small.bin";
    const fs::path large = dir / "image-large.bin";
    const fs::path compare = dir / "image-compare.bin";
    if (!WriteRandomImage(small, kSmallBytes, 1) || !WriteSparseImage(large, kLargeBytes) ||
        !WriteRandomImage(compare, kCompareBytes, 2)) {
        std::fprintf(stderr, "cannot write the images in %s\n", dir.c_str());
        return 1;
    }

    std::printf(
        "flash programming over loopback UDP, %zu-byte packets, file-system image at 0x%X\n",
        kPacketBytes, ImageStartAddress(kKind));
    std::printf(
        "engine: UpdateFirmware (query-state, file sum, enter-download, flash-prepare,\n"
        "        data, final result) until the run has ended\n"
        "reference: bare socket (file sum, flash-prepare, data, final result)\n");
    std::printf("%d runs each, alternating reference, engine\n\n", kRounds);

    // Peak memory first, while this process has started no thread.
    rusage self{};
    ::getrusage(RUSAGE_SELF, &self);
    const long parent_rss_kib = self.ru_maxrss;
    const ChildFigures rss_small = EngineRunInChild(small, kSmallBytes);
    const ChildFigures rss_large = EngineRunInChild(large, kLargeBytes);

    if (!Compare(compare, kCompareBytes, kRounds, 0))
        failed = true;
    if (!Compare(compare, kCompareBytes, kRounds, kShortBurnMs))
        failed = true;

    std::printf("\n");
    if (!rss_small.ok || !rss_large.ok) {
        std::fprintf(stderr, "a peak-memory run failed (small %s, large %s)\n",
                     rss_small.ok ? "ok" : "failed", rss_large.ok ? "ok" : "failed");
        failed = true;
    } else {
        RunFigures r;
        r.seconds = rss_small.seconds;
        r.packets = rss_small.packets;
        PrintRow("engine", "child", kSmallBytes, r);
        r.seconds = rss_large.seconds;
        r.packets = rss_large.packets;
        PrintRow("engine", "child", kLargeBytes, r);
        const long growth = rss_large.max_rss_kib - rss_small.max_rss_kib;
        std::printf(
            "peak RSS %llu KiB image: %ld KiB, %llu KiB image: %ld KiB, growth %ld KiB (must "
            "not grow; slack %ld KiB)%s\n",
            static_cast<unsigned long long>(kSmallBytes / 1024), rss_small.max_rss_kib,
            static_cast<unsigned long long>(kLargeBytes / 1024), rss_large.max_rss_kib, growth,
            kRssSlackKiB, growth <= kRssSlackKiB ? "" : "  grows with the image");
        std::printf(
            "(each child starts as a copy of this process, peak RSS %ld KiB before the "
            "fork)\n",
            parent_rss_kib);
    }
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto short_run = korvane::bench::ParseShortOption(argc, argv, "flash_throughput");
    if (!short_run)
        return 2;
    const Sizes sizes = *short_run ? kShort : kFull;
    return korvane::bench::InTemporaryFolder(
        "flash", [&](const fs::path& dir) { return Bench(dir, sizes); });
}
