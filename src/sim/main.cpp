// korvane-panel-sim: a simulated panel to try the tool without hardware.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/panel.h"
#include "sim/pty_server.h"
#include "sim/udp_server.h"
#include "system/console.h"

namespace {

void Usage(FILE* to) {
    std::fprintf(to,
                 "usage: korvane-panel-sim [--udp-port N] [--pty] [--jumper 1|2] [--version 1|2]\n"
                 "\n"
                 "Serves a simulated panel on 127.0.0.1 until interrupted.\n"
                 "  --udp-port N   UDP port (default 21845; 0 picks a free one)\n"
                 "  --pty          also serve it on a pseudo-terminal, to be named as the\n"
                 "                 serial device (or the USB device) of the tool\n"
                 "  --jumper N     jumper position reported by query-state (default 1)\n"
                 "  --version N    panel protocol version (default 1)\n"
                 "  --status C=S   answer command C (e.g. 0x20) with status S\n"
                 "  --drop C       never answer command C\n"
                 "  --delay C=MS   answer command C only after MS milliseconds\n"
                 "  --burn-ms N    send the final burn result N ms after the last\n"
                 "                 acknowledgement (default 1 ms per 4 KiB of image, at\n"
                 "                 least 10 ms)\n"
                 "  --dump DIR     after each image, write what the flash holds to\n"
                 "                 DIR/image-<kind>.bin\n"
                 "The first line printed is \"udp 127.0.0.1:PORT\"; with --pty the next\n"
                 "is \"pty /dev/pts/N\".\n");
}

bool ParseInt(const char* text, long lo, long hi, long* out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

// "0x20" or "32": a command code.
bool ParseCode(const std::string& text, uint8_t* out) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end || v < 0 || v > 255)
        return false;
    *out = static_cast<uint8_t>(v);
    return true;
}

// "CODE=VALUE", the value from lo to hi.
bool ParseCodeValue(const std::string& text, long lo, long hi, uint8_t* code, long* value) {
    const size_t eq = text.find('=');
    return eq != std::string::npos && ParseCode(text.substr(0, eq), code) &&
           ParseInt(text.c_str() + eq + 1, lo, hi, value);
}

}  // namespace

int main(int argc, char** argv) {
    long port = 21845, jumper = 1, version = 1;
    bool pty = false;
    std::string dump;
    korvane::sim::Panel panel;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](long lo, long hi, long* out) {
            if (i + 1 >= argc || !ParseInt(argv[i + 1], lo, hi, out)) {
                std::fprintf(stderr, "korvane-panel-sim: %s needs a number from %ld to %ld\n",
                             arg.c_str(), lo, hi);
                std::exit(64);
            }
            ++i;
        };
        if (arg == "--udp-port") {
            value(0, 65535, &port);
        } else if (arg == "--burn-ms") {
            long ms = 0;
            value(0, 600000, &ms);
            panel.SetBurnMs(static_cast<int>(ms));
        } else if (arg == "--pty") {
            pty = true;
        } else if (arg == "--jumper") {
            value(0, 255, &jumper);
        } else if (arg == "--version") {
            value(1, 2, &version);
        } else if (arg == "--status" && i + 1 < argc) {
            uint8_t code = 0;
            long status = 0;
            if (!ParseCodeValue(argv[++i], 0, 255, &code, &status)) {
                std::fprintf(stderr, "korvane-panel-sim: --status takes CODE=STATUS\n");
                return 64;
            }
            panel.SetStatusOverride(code, static_cast<uint8_t>(status));
        } else if (arg == "--drop" && i + 1 < argc) {
            uint8_t code = 0;
            if (!ParseCode(argv[++i], &code)) {
                std::fprintf(stderr, "korvane-panel-sim: --drop takes a command code\n");
                return 64;
            }
            panel.InjectFault({korvane::sim::FaultKind::Drop, code, 1 << 30});
        } else if (arg == "--delay" && i + 1 < argc) {
            uint8_t code = 0;
            long ms = 0;
            if (!ParseCodeValue(argv[++i], 0, 600000, &code, &ms)) {
                std::fprintf(stderr, "korvane-panel-sim: --delay takes CODE=MS\n");
                return 64;
            }
            panel.InjectFault(
                {korvane::sim::FaultKind::Delay, code, 1 << 30, static_cast<int>(ms)});
        } else if (arg == "--dump" && i + 1 < argc) {
            dump = argv[++i];
        } else if (arg == "-h" || arg == "--help") {
            Usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "korvane-panel-sim: unknown option %s\n", arg.c_str());
            Usage(stderr);
            return 64;
        }
    }

    // Every finished image is reported on stdout, so that a script can see
    // what the panel checked.
    panel.SetBurnObserver(
        [dump](const korvane::sim::BurnReport& r, std::span<const uint8_t> image) {
            std::printf("image kind %u at 0x%08X-0x%08X, announced sum 0x%08X, final result %u\n",
                        r.kind, r.start, r.end, r.announced_checksum, r.status);
            if (!dump.empty()) {
                const std::string path = dump + "/image-" + std::to_string(r.kind) + ".bin";
                if (FILE* f = std::fopen(path.c_str(), "wb")) {
                    const bool ok = std::fwrite(image.data(), 1, image.size(), f) == image.size();
                    if (std::fclose(f) != 0 || !ok)
                        std::fprintf(stderr, "korvane-panel-sim: cannot write %s\n", path.c_str());
                }
            }
            std::fflush(stdout);
        });
    panel.SetJumper(static_cast<uint8_t>(jumper));
    panel.SetProtocolVersion(static_cast<uint8_t>(version));
    korvane::sim::UdpServer udp(panel);
    std::string error;
    if (!udp.Start(static_cast<uint16_t>(port), &error)) {
        std::fprintf(stderr, "korvane-panel-sim: cannot serve UDP on 127.0.0.1:%ld: %s\n", port,
                     error.c_str());
        return 1;
    }
    std::printf("udp 127.0.0.1:%u\n", udp.port());
    korvane::sim::PtyServer serial(panel);
    if (pty) {
        if (!serial.Start(&error)) {
            std::fprintf(stderr, "korvane-panel-sim: cannot serve a pseudo-terminal: %s\n",
                         error.c_str());
            return 1;
        }
        std::printf("pty %s\n", serial.slave_path().c_str());
    }
    std::fflush(stdout);

    korvane::WaitForStopRequest();
    serial.Stop();
    udp.Stop();
    return 0;
}
