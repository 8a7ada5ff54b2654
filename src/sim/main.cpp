// korvane-panel-sim: a simulated panel to try the tool without hardware.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_docs.h"
#include "sim/panel.h"
#include "sim/pty_server.h"
#include "sim/udp_server.h"
#include "system/atomic_file.h"
#include "system/console.h"
#include "system/number_text.h"
#include "system/version.h"
#include "transfer/image_kind.h"

namespace {

bool ParseInt(const std::string& text, long lo, long hi, long* out) {
    const auto v = korvane::ParseDecimal(text, lo, hi);
    if (!v)
        return false;
    *out = *v;
    return true;
}

// "0x20" or "32": a command code or a status byte.
bool ParseByte(const std::string& text, uint8_t* out) {
    const auto v = korvane::ParseDecimalOrHex(text, 255);
    if (!v)
        return false;
    *out = static_cast<uint8_t>(*v);
    return true;
}

// "CODE=VALUE".
bool SplitCodeValue(const std::string& text, uint8_t* code, std::string* value) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || !ParseByte(text.substr(0, eq), code))
        return false;
    *value = text.substr(eq + 1);
    return true;
}

// "127.x.y.z" as a host-order number.
bool ParseLoopback(const std::string& text, uint32_t* out) {
    const auto address = korvane::ParseDottedQuad(text);
    if (!address || *address >> 24 != 127)
        return false;
    *out = *address;
    return true;
}

struct Settings {
    long port = 21845;
    long jumper = 1;
    long version = 1;
    bool pty = false;
    std::string dump;
    std::string bind;  // empty: 127.0.0.1, reporting the panel's own record
    uint32_t udp_address = 0x7F000001;
};

// One option: its entry in --help and the manual, and what it does. A new
// option is one entry here.
struct SimOption {
    korvane::cli::OptionDoc doc;
    // Takes the value (empty for a switch); the text of what is wrong with
    // it, or nothing.
    std::function<std::string(const std::string&)> apply;
};

std::vector<SimOption> Options(Settings& s, korvane::sim::Panel& panel) {
    using korvane::cli::Complete;
    return {
        {{"--udp-port", "N", "UDP port on 127.0.0.1 (default 21845; 0 picks a free one)"},
         [&](const std::string& v) {
             return ParseInt(v, 0, 65535, &s.port) ? "" : std::string("a number from 0 to 65535");
         }},
        {{"--bind", "ADDR",
          "serve on ADDR, any 127.x.y.z (default 127.0.0.1); the panel\n"
          "then reports ADDR and the port as its own"},
         [&](const std::string& v) {
             // Loopback only: a simulated panel is never offered to the network.
             if (!ParseLoopback(v, &s.udp_address))
                 return std::string("an address 127.x.y.z");
             s.bind = v;
             return std::string();
         }},
        {{"--pty", "",
          "also serve the panel on a pseudo-terminal, to be named as the\n"
          "serial device (or the USB device) of the tool"},
         [&](const std::string&) {
             s.pty = true;
             return std::string();
         }},
        {{"--jumper", "1|2",
          "jumper position reported by query-state: 1 update, 2 normal\n(default 1)"},
         [&](const std::string& v) {
             return ParseInt(v, 1, 2, &s.jumper) ? "" : std::string("1 (update) or 2 (normal)");
         }},
        {{"--protocol-version", "1|2", "the panel's protocol version (default 1)"},
         [&](const std::string& v) {
             return ParseInt(v, 1, 2, &s.version) ? "" : std::string("1 or 2");
         }},
        {{"--status", "C=S",
          "answer command C with status S, each decimal or 0x hex\n"
          "(e.g. --status 0x82=0x00)"},
         [&](const std::string& v) {
             uint8_t code = 0, status = 0;
             std::string value;
             if (!SplitCodeValue(v, &code, &value) || !ParseByte(value, &status))
                 return std::string("CODE=STATUS, each from 0 to 255 (0x00 to 0xFF)");
             panel.SetStatusOverride(code, status);
             return std::string();
         }},
        {{"--drop", "C", "never answer command C (e.g. 0x03)"},
         [&](const std::string& v) {
             uint8_t code = 0;
             if (!ParseByte(v, &code))
                 return std::string("a command code from 0 to 255 (0x00 to 0xFF)");
             panel.InjectFault({korvane::sim::FaultKind::Drop, code, 1 << 30});
             return std::string();
         }},
        {{"--delay", "C=MS", "answer command C only after MS milliseconds (0 to 600000)"},
         [&](const std::string& v) {
             uint8_t code = 0;
             std::string value;
             long ms = 0;
             if (!SplitCodeValue(v, &code, &value) || !ParseInt(value, 0, 600000, &ms))
                 return std::string("CODE=MS, MS from 0 to 600000");
             panel.InjectFault(
                 {korvane::sim::FaultKind::Delay, code, 1 << 30, static_cast<int>(ms)});
             return std::string();
         }},
        {{"--burn-ms", "N",
          "send the final burn result N ms after the last acknowledgement\n"
          "(default 1 ms per 4 KiB of image, at least 10 ms)"},
         [&](const std::string& v) {
             long ms = 0;
             if (!ParseInt(v, 0, 600000, &ms))
                 return std::string("a number from 0 to 600000");
             panel.SetBurnMs(static_cast<int>(ms));
             return std::string();
         }},
        {{"--fail-final", "N",
          "answer the next N final burn results with a failure (status 0),\n"
          "an empty image's (which follows the flash-prepare reply) among them"},
         [&](const std::string& v) {
             long n = 0;
             if (!ParseInt(v, 0, 1000000, &n))
                 return std::string("a number from 0 to 1000000");
             panel.FailNextFinals(static_cast<int>(n));
             return std::string();
         }},
        {{"--dump", "DIR",
          "after each image, write what the flash holds to\n"
          "DIR/image-<kind>.bin, kind as korvane-cli flash names it\n"
          "(kernel, bootloader, filesystem, logo; DIR is created)",
          Complete::File},
         [&](const std::string& v) {
             if (v.empty())
                 return std::string("a folder, not an empty word");
             s.dump = v;
             return std::string();
         }},
        {{"-h, --help", "", "the options"}, nullptr},
        {{"--version", "", "the program's version (and commit)"}, nullptr},
    };
}

korvane::cli::ProgramDoc Doc(const std::vector<SimOption>& options) {
    korvane::cli::ProgramDoc doc;
    doc.name = "korvane-panel-sim";
    doc.purpose = "a simulated HMI panel on loopback UDP and a pseudo-terminal";
    doc.description =
        "Serves a simulated panel on 127.0.0.1 (or the --bind address) until interrupted, to try "
        "korvane-cli and the\n"
        "window without hardware. The first line printed is \"udp 127.0.0.1:PORT\"; with\n"
        "--pty the next is \"pty /dev/pts/N\". Each finished image is reported on stdout.";
    korvane::cli::OptionGroup group{"options", {}};
    for (const SimOption& o : options)
        group.options.push_back(o.doc);
    doc.groups = {group};
    doc.usage = korvane::cli::OptionsSynopsis(doc);
    doc.exits = {{0, "stopped", "by SIGINT or SIGTERM"},
                 {1, "cannot serve", "the UDP port, the pseudo-terminal or the dump folder"},
                 {64, "usage error", "the command line is wrong"}};
    doc.see_also = {"korvane-cli(1)"};
    return doc;
}

// Writes `image` to DIR/image-<kind>.bin, the kind named as korvane-cli
// flash names it (a kind it does not know keeps its number).
void DumpImage(const std::string& dir, uint8_t kind, std::span<const uint8_t> image) {
    const auto* info = korvane::FindImageKind(static_cast<korvane::ImageKind>(kind));
    const std::string path =
        dir + "/image-" + (info ? std::string(info->name) : std::to_string(kind)) + ".bin";
    // Written as every file is: whole, and never over a device. An empty
    // image leaves an empty file.
    korvane::AtomicFileWriter file(path);
    if (!file.Write(image.data(), image.size()) || !file.Commit()) {
        std::fprintf(stderr, "korvane-panel-sim: cannot write %s: %s\n", path.c_str(),
                     file.error().message().c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    korvane::sim::Panel panel;
    const std::vector<SimOption> options = Options(settings, panel);
    const korvane::cli::ProgramDoc doc = Doc(options);
    auto usage = [&](const std::string& problem) {
        std::fprintf(stderr, "korvane-panel-sim: %s\n%s", problem.c_str(),
                     korvane::cli::UsageLine(doc).c_str());
        return 64;
    };
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(korvane::cli::HelpText(doc).c_str(), stdout);
            return 0;
        }
        if (arg == "--version") {
            std::fputs(korvane::VersionText("korvane-panel-sim").c_str(), stdout);
            return 0;
        }
        // Hidden: the manual page, drawn from the same table as --help.
        if (arg == "--man") {
            std::fputs(korvane::cli::ManPage(doc, korvane::ProjectVersion()).c_str(), stdout);
            return 0;
        }
        std::optional<std::string> value;
        if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
        }
        const SimOption* option = nullptr;
        for (const SimOption& o : options) {
            if (o.apply && korvane::cli::FindOption({o.doc}, arg))
                option = &o;
        }
        if (!option)
            return usage("unknown option " + arg);
        if (option->doc.value.empty() && value)
            return usage(arg + " takes no value");
        if (!option->doc.value.empty() && !value) {
            if (i + 1 >= argc)
                return usage(arg + " needs " + option->doc.value);
            value = argv[++i];
        }
        if (const std::string wrong = option->apply(value.value_or("")); !wrong.empty())
            return usage(arg + " takes " + wrong + ", not \"" + *value + "\"");
    }
    const long port = settings.port;
    const std::string dump = settings.dump;
    const std::string bind = settings.bind;
    const uint32_t udp_address = settings.udp_address;
    if (!dump.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(dump, ec);
        if (ec || !std::filesystem::is_directory(dump)) {
            std::fprintf(
                stderr, "korvane-panel-sim: cannot create the dump folder %s: %s\n", dump.c_str(),
                (ec ? ec : std::make_error_code(std::errc::not_a_directory)).message().c_str());
            return 1;
        }
    }

    // Every finished image is reported on stdout, so that a script can see
    // what the panel checked.
    panel.SetBurnObserver(
        [dump](const korvane::sim::BurnReport& r, std::span<const uint8_t> image) {
            std::printf("image kind %u at 0x%08X-0x%08X, announced sum 0x%08X, final result %u\n",
                        r.kind, r.start, r.end, r.announced_checksum, r.status);
            if (!dump.empty())
                DumpImage(dump, r.kind, image);
            std::fflush(stdout);
        });
    panel.SetJumper(static_cast<uint8_t>(settings.jumper));
    panel.SetProtocolVersion(static_cast<uint8_t>(settings.version));
    korvane::sim::UdpServer udp(panel);
    udp.SetAddress(udp_address);
    const std::string host =
        std::to_string(udp_address >> 24) + "." + std::to_string(udp_address >> 16 & 0xFF) + "." +
        std::to_string(udp_address >> 8 & 0xFF) + "." + std::to_string(udp_address & 0xFF);
    std::string error;
    if (!udp.Start(static_cast<uint16_t>(port), &error)) {
        std::fprintf(stderr, "korvane-panel-sim: cannot serve UDP on %s:%ld: %s\n", host.c_str(),
                     port, error.c_str());
        return 1;
    }
    if (!bind.empty()) {
        // Side by side, each panel tells its own address, as found panels do.
        korvane::sim::PanelNetwork network = panel.Network();
        for (int i = 0; i < 4; ++i)
            network.ip[i] = static_cast<uint8_t>(udp_address >> (24 - 8 * i));
        network.port = udp.port();
        panel.SetNetwork(network);
    }
    std::printf("udp %s:%u\n", host.c_str(), udp.port());
    korvane::sim::PtyServer serial(panel);
    if (settings.pty) {
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
