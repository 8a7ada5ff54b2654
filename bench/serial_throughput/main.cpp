// Programs kernel images of 64 KiB, 256 KiB and 1 MiB into the simulated
// panel over a pseudo-terminal, through the flash transfer engine (the whole
// run as the command line starts it) and through a bare loop on its own
// descriptor that makes the same exchanges (query-state, enter-download,
// flash-prepare, every packet and its acknowledgement, the final result) and
// only the waits the protocol asks for: the kernel's 100 ms after
// flash-prepare and 30 ms after each acknowledged packet before the next.
// Each image goes to a panel that reports its final result at once (burn time
// 0, where the engine takes it for a possible copy of the last acknowledgement
// and listens longer) and to one that burns for 5 ms, the same for both sides
// and shown as its own column. Runs alternate;
// the best of each is compared (other work on the machine only ever adds
// time). --short: 64 KiB, one run each, so that the test suite sees the
// benchmark work (no figure is judged there).
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
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
#include <thread>
#include <vector>

#include "../bench_support.h"
#include "link/frame.h"
#include "link/link_manager.h"
#include "link/message_sink.h"
#include "protocol/command_codes.h"
#include "protocol/panel_session.h"
#include "protocol/requests.h"
#include "sim/panel.h"
#include "sim/pty_server.h"
#include "transfer/firmware_run.h"
#include "transfer/flash_transfer.h"
#include "transfer/image_checksum.h"
#include "transfer/image_kind.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using namespace korvane;

constexpr ImageKind kKind = ImageKind::Kernel;
constexpr size_t kPacketBytes = 4000;  // the serial link's packet
constexpr int kKernelSettleMs = 100;
constexpr int kPacketPauseMs = 30;
constexpr int kReplyTimeoutMs = 2000;
constexpr int kBurns[] = {0, 5};  // ms

struct Size {
    const char* name;
    uint64_t bytes;
    double target;  // engine / reference, best runs
};
const Size kSizes[] = {
    {"64 KiB", 64 * 1024, 1.25}, {"256 KiB", 256 * 1024, 1.10}, {"1 MiB", 1024 * 1024, 1.10}};

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

bool WriteRandomImage(const fs::path& path, uint64_t size, uint64_t seed) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::mt19937_64 rng(seed);
    for (uint64_t i = 0; i < size; ++i)
        out.put(static_cast<char>(rng()));
    return static_cast<bool>(out);
}

uint64_t PacketsFor(uint64_t bytes) {
    return (bytes + kPacketBytes - 1) / kPacketBytes;
}

// A simulated panel on a pseudo-terminal that keeps its running sum and
// burns for `burn_ms`.
struct ServedPanel {
    explicit ServedPanel(int burn_ms) {
        panel.SetChecksumOnly(true);
        panel.SetBurnMs(burn_ms);
    }
    bool Start() { return server.Start(&error); }
    sim::Panel panel;
    sim::PtyServer server{panel};
    std::string error;
};

struct Run {
    bool ok = false;
    double seconds = 0;
    std::string why;
};

Run Failed(std::string why) {
    Run r;
    r.why = std::move(why);
    return r;
}

Run EngineRun(const fs::path& image, int burn_ms) {
    ServedPanel served(burn_ms);
    if (!served.Start())
        return Failed("simulator: " + served.error);
    RecordingSink sink;
    NullProgress progress;
    LinkManager link{sink};
    LinkSettings settings;
    settings.mode = LinkMode::Serial;
    settings.baud = kDefaultBaud;
    settings.serial_device = served.server.slave_path();
    link.Configure(settings);
    PanelSession session{link, FrontEnd::Cli};
    FlashTransfer transfer{link};

    const auto t0 = Clock::now();
    const bool started = UpdateFirmware(session, transfer, kKind, image, progress);
    if (started)
        session.WaitForRun();
    const auto t1 = Clock::now();
    served.server.Stop();
    const auto texts = sink.Texts();
    if (!started || texts.empty() || texts.back() != Text(TextId::UpdateDone) ||
        served.panel.FinalResultsSent() != 1) {
        std::string why = "engine run failed";
        for (const auto& t : texts)
            why += "; " + t;
        return Failed(why);
    }
    Run r;
    r.ok = true;
    r.seconds = Seconds(t1 - t0);
    return r;
}

// The reference's own descriptor on the pseudo-terminal, raw.
class BarePort {
  public:
    explicit BarePort(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        if (fd_ >= 0 && ::tcgetattr(fd_, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~BarePort() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    BarePort(const BarePort&) = delete;
    BarePort& operator=(const BarePort&) = delete;

    bool ok() const { return fd_ >= 0; }

    bool Write(const uint8_t* bytes, size_t length) {
        while (length > 0) {
            const ssize_t n = ::write(fd_, bytes, length);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            bytes += n;
            length -= static_cast<size_t>(n);
        }
        return true;
    }

    // One whole frame into `reply`; its length, or 0 on time-out or failure.
    size_t ReadFrame(FrameBuffer& reply, int timeout_ms) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            // Drop what cannot start a frame.
            while (!in_.empty() && in_[0] != kSync1)
                in_.erase(in_.begin());
            if (in_.size() >= 4) {
                const uint16_t length = ReadBe16(&in_[frame_offset::kLength]);
                if (in_[1] != kSync2 || length < kFrameMin || length > kFrameMax) {
                    in_.erase(in_.begin());
                    continue;
                }
                if (in_.size() >= length) {
                    std::copy_n(in_.begin(), length, reply.begin());
                    in_.erase(in_.begin(), in_.begin() + length);
                    return length;
                }
            }
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd p{fd_, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) != 1)
                return 0;
            uint8_t chunk[256];
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n <= 0)
                return 0;
            in_.insert(in_.end(), chunk, chunk + n);
        }
    }

  private:
    int fd_ = -1;
    std::vector<uint8_t> in_;
};

// Sends the request and takes a sound reply to it carrying status 1.
bool Exchange(BarePort& port, const FrameBuffer& request, uint16_t length, FrameBuffer& reply) {
    if (!port.Write(request.data(), length))
        return false;
    const size_t n = port.ReadFrame(reply, kReplyTimeoutMs);
    return n > 0 && ValidateReply(reply, n) && reply[frame_offset::kCommand] == request[4] &&
           reply[frame_offset::kStatus] == 1;
}

Run ReferenceRun(const fs::path& image, uint64_t size, int burn_ms) {
    ServedPanel served(burn_ms);
    if (!served.Start())
        return Failed("simulator: " + served.error);
    const auto t0 = Clock::now();
    BarePort port(served.server.slave_path());
    if (!port.ok())
        return Failed(std::string("reference: open: ") + std::strerror(errno));
    FrameBuffer request{};
    FrameBuffer reply{};
    if (!Exchange(port, request, BuildQueryState(request), reply))
        return Failed("reference: query-state unanswered");
    const std::optional<uint32_t> sum = ImageChecksum(image);
    if (!sum)
        return Failed("reference: cannot sum the image");
    if (!Exchange(port, request, BuildEnterDownload(request, 1), reply))
        return Failed("reference: enter-download refused");
    const uint32_t start = ImageStartAddress(kKind);
    if (!Exchange(
            port, request,
            BuildFlashPrepare(request, kKind, start, start + static_cast<uint32_t>(size), *sum),
            reply))
        return Failed("reference: flash-prepare refused");
    std::this_thread::sleep_for(std::chrono::milliseconds(kKernelSettleMs));

    std::ifstream in(image, std::ios::binary);
    std::vector<uint8_t> packet(kPacketBytes);
    uint32_t address = start;
    for (uint64_t sent = 0; sent < size;) {
        in.read(reinterpret_cast<char*>(packet.data()), static_cast<std::streamsize>(kPacketBytes));
        const auto got = static_cast<size_t>(in.gcount());
        if (got == 0)
            return Failed("reference: short read");
        if (!Exchange(port, request, BuildFlashData(request, address, {packet.data(), got}), reply))
            return Failed("reference: packet at " + std::to_string(address) + " unacknowledged");
        address += static_cast<uint32_t>(got);
        sent += got;
        if (sent < size)
            std::this_thread::sleep_for(std::chrono::milliseconds(kPacketPauseMs));
    }
    const size_t n = port.ReadFrame(reply, kReplyTimeoutMs + burn_ms);
    if (n == 0 || !ValidateReply(reply, n) || reply[frame_offset::kCommand] != cmd::kFlashData ||
        reply[frame_offset::kStatus] != 1)
        return Failed("reference: no good final result");
    const auto t1 = Clock::now();
    served.server.Stop();
    if (served.panel.FinalResultsSent() != 1)
        return Failed("reference: final result count off");
    Run r;
    r.ok = true;
    r.seconds = Seconds(t1 - t0);
    return r;
}

double Best(const std::vector<Run>& runs) {
    double best = 1e30;
    for (const auto& r : runs)
        best = std::min(best, r.seconds);
    return best;
}

int Bench(const fs::path& dir, bool short_run) {
    const int rounds = short_run ? 1 : 3;
    std::printf(
        "kernel images over a pseudo-terminal, %zu-byte packets\n"
        "engine: UpdateFirmware until the run has ended\n"
        "reference: bare loop, the same exchanges, %d ms after flash-prepare and %d ms after\n"
        "           each acknowledged packet but the last, nothing else\n"
        "%d runs each, alternating reference, engine; best of each\n\n",
        kPacketBytes, kKernelSettleMs, kPacketPauseMs, rounds);
    std::printf("%-8s %8s %8s %10s %8s %8s %8s  %s\n", "image", "burn, ms", "packets", "pauses, s",
                "ref, s", "eng, s", "ratio", "target");
    bool failed = false;
    for (const Size& size : kSizes) {
        if (short_run && size.bytes != kSizes[0].bytes)
            continue;
        const fs::path image = dir / ("kernel-" + std::to_string(size.bytes) + ".bin");
        if (!WriteRandomImage(image, size.bytes, size.bytes)) {
            std::fprintf(stderr, "cannot write %s\n", image.c_str());
            return 1;
        }
        for (const int burn_ms : kBurns) {
            std::vector<Run> reference;
            std::vector<Run> engine;
            for (int round = 0; round < rounds; ++round) {
                reference.push_back(ReferenceRun(image, size.bytes, burn_ms));
                engine.push_back(EngineRun(image, burn_ms));
            }
            bool ok = true;
            for (const auto* runs : {&reference, &engine}) {
                for (const auto& r : *runs) {
                    if (!r.ok) {
                        std::fprintf(stderr, "%s: %s\n", size.name, r.why.c_str());
                        ok = false;
                    }
                }
            }
            if (!ok) {
                failed = true;
                continue;
            }
            const uint64_t packets = PacketsFor(size.bytes);
            const double pauses =
                (kKernelSettleMs + static_cast<double>(packets - 1) * kPacketPauseMs) / 1000;
            const double ref = Best(reference);
            const double eng = Best(engine);
            std::printf("%-8s %8d %8llu %10.3f %8.3f %8.3f %7.3fx  <= %.2fx %s\n", size.name,
                        burn_ms, static_cast<unsigned long long>(packets), pauses, ref, eng,
                        eng / ref, size.target, eng / ref <= size.target ? "met" : "missed");
        }
    }
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto short_run = korvane::bench::ParseShortOption(argc, argv, "serial_throughput");
    if (!short_run)
        return 2;
    return korvane::bench::InTemporaryFolder(
        "serial", [&](const fs::path& dir) { return Bench(dir, *short_run); });
}
