// korvane-panel-sim: a simulated panel to try the tool without hardware.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_docs.h"
#include "sim/panel.h"
#include "sim/panel_set.h"
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

// A panel can be served 254 times from one address on: 127.0.0.1 to
// 127.0.0.254, the usual loopback subnet.
constexpr long kMaxPanels = 254;

using PanelAction = std::function<void(korvane::sim::Panel&)>;

// What one panel option does, for every panel or for one.
struct PanelSetup {
    std::optional<long> index;  // unset: every panel
    std::string option;
    std::string value;  // as typed, for a message
    PanelAction apply;
};

struct Settings {
    long port = 21845;
    long panels = 1;
    bool port_step = false;
    bool pty = false;
    std::string dump;
    std::string bind;  // empty: 127.0.0.1, reporting the panel's own record
    uint32_t udp_address = 0x7F000001;
    std::vector<PanelSetup> setup;  // in the order typed: a later one wins
};

// One option: its entry in --help and the manual, and what it does. A new
// option is one entry here.
struct SimOption {
    korvane::cli::OptionDoc doc;
    // Takes the value (empty for a switch); the text of what is wrong with
    // it, or nothing.
    std::function<std::string(const std::string&)> apply;
};

// Reads VALUE into what it does to a panel; the text of what is wrong, or
// nothing.
using PanelParse = std::function<std::string(const std::string&, PanelAction*)>;

// A panel option: "I:VALUE" is for panel I only, a bare VALUE for every one.
std::function<std::string(const std::string&)> ForPanels(Settings& s, std::string option,
                                                         PanelParse parse) {
    return [&s, option, parse](const std::string& v) {
        std::optional<long> index;
        std::string rest = v;
        if (const size_t colon = v.find(':'); colon != std::string::npos) {
            long i = 0;
            if (!ParseInt(v.substr(0, colon), 0, kMaxPanels - 1, &i))
                return "a panel number from 0 to " + std::to_string(kMaxPanels - 1) +
                       " before the colon";
            index = i;
            rest = v.substr(colon + 1);
        }
        PanelAction action;
        if (std::string wrong = parse(rest, &action); !wrong.empty())
            return wrong;
        s.setup.push_back({index, option, v, std::move(action)});
        return std::string();
    };
}

// A command code, or "any" for every command (nothing).
bool ParseCommand(const std::string& text, std::optional<uint8_t>* out) {
    if (text == "any") {
        *out = std::nullopt;
        return true;
    }
    uint8_t code = 0;
    if (!ParseByte(text, &code))
        return false;
    *out = code;
    return true;
}

std::vector<SimOption> Options(Settings& s) {
    using korvane::cli::Complete;
    using korvane::sim::Panel;
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
        {{"--panels", "N",
          "serve N panels (1 to 254, default 1), each with its own state\n"
          "and flash: panel I (counted from 0) on the address I after the\n"
          "first (127.0.0.1 or --bind), all at one port, each reporting its\n"
          "own address and port; with --dump each writes to DIR/panel-I"},
         [&](const std::string& v) {
             return ParseInt(v, 1, kMaxPanels, &s.panels)
                        ? ""
                        : "a number from 1 to " + std::to_string(kMaxPanels);
         }},
        {{"--port-step", "",
          "serve the panels of --panels on one address instead, panel I on\n"
          "the port I after --udp-port (with 0, on a free run of ports)"},
         [&](const std::string&) {
             s.port_step = true;
             return std::string();
         }},
        {{"--pty", "",
          "also serve the panel on a pseudo-terminal, to be named as the\n"
          "serial device (or the USB device) of the tool (one per panel)"},
         [&](const std::string&) {
             s.pty = true;
             return std::string();
         }},
        {{"--jumper", "[I:]1|2",
          "jumper position reported by query-state: 1 update, 2 normal\n(default 1)"},
         ForPanels(s, "--jumper",
                   [](const std::string& v, PanelAction* action) {
                       long jumper = 0;
                       if (!ParseInt(v, 1, 2, &jumper))
                           return std::string("1 (update) or 2 (normal)");
                       *action = [jumper](Panel& p) { p.SetJumper(static_cast<uint8_t>(jumper)); };
                       return std::string();
                   })},
        {{"--protocol-version", "[I:]1|2", "the panel's protocol version (default 1)"},
         ForPanels(s, "--protocol-version",
                   [](const std::string& v, PanelAction* action) {
                       long version = 0;
                       if (!ParseInt(v, 1, 2, &version))
                           return std::string("1 or 2");
                       *action = [version](Panel& p) {
                           p.SetProtocolVersion(static_cast<uint8_t>(version));
                       };
                       return std::string();
                   })},
        {{"--status", "[I:]C=S",
          "answer command C with status S, each decimal or 0x hex\n"
          "(e.g. --status 0x82=0x00)"},
         ForPanels(s, "--status",
                   [](const std::string& v, PanelAction* action) {
                       uint8_t code = 0, status = 0;
                       std::string value;
                       if (!SplitCodeValue(v, &code, &value) || !ParseByte(value, &status))
                           return std::string("CODE=STATUS, each from 0 to 255 (0x00 to 0xFF)");
                       *action = [code, status](Panel& p) { p.SetStatusOverride(code, status); };
                       return std::string();
                   })},
        {{"--drop", "[I:]C", "never answer command C (e.g. 0x03), or any command: any"},
         ForPanels(s, "--drop",
                   [](const std::string& v, PanelAction* action) {
                       std::optional<uint8_t> code;
                       if (!ParseCommand(v, &code))
                           return std::string("a command code from 0 to 255 (0x00 to 0xFF)");
                       *action = [code](Panel& p) {
                           p.InjectFault({korvane::sim::FaultKind::Drop, code, 1 << 30});
                       };
                       return std::string();
                   })},
        {{"--delay", "[I:]C=MS",
          "answer command C (or any command: any) only after MS\n"
          "milliseconds (0 to 600000)"},
         ForPanels(s, "--delay",
                   [](const std::string& v, PanelAction* action) {
                       const size_t eq = v.find('=');
                       std::optional<uint8_t> code;
                       long ms = 0;
                       if (eq == std::string::npos || !ParseCommand(v.substr(0, eq), &code) ||
                           !ParseInt(v.substr(eq + 1), 0, 600000, &ms))
                           return std::string("CODE=MS, MS from 0 to 600000");
                       *action = [code, ms](Panel& p) {
                           p.InjectFault({korvane::sim::FaultKind::Delay, code, 1 << 30,
                                          static_cast<int>(ms)});
                       };
                       return std::string();
                   })},
        {{"--burn-ms", "[I:]N",
          "send the final burn result N ms after the last acknowledgement\n"
          "(default 1 ms per 4 KiB of image, at least 10 ms)"},
         ForPanels(s, "--burn-ms",
                   [](const std::string& v, PanelAction* action) {
                       long ms = 0;
                       if (!ParseInt(v, 0, 600000, &ms))
                           return std::string("a number from 0 to 600000");
                       *action = [ms](Panel& p) { p.SetBurnMs(static_cast<int>(ms)); };
                       return std::string();
                   })},
        {{"--fail-final", "[I:]N",
          "answer the next N final burn results with a failure (status 0),\n"
          "an empty image's (which follows the flash-prepare reply) among them"},
         ForPanels(s, "--fail-final",
                   [](const std::string& v, PanelAction* action) {
                       long n = 0;
                       if (!ParseInt(v, 0, 1000000, &n))
                           return std::string("a number from 0 to 1000000");
                       *action = [n](Panel& p) { p.FailNextFinals(static_cast<int>(n)); };
                       return std::string();
                   })},
        {{"--lose", "[I:]N",
          "lose every Nth acknowledgement of a data packet (1 every one),\n"
          "as a link that drops packets: the tool sends the packet again"},
         ForPanels(s, "--lose",
                   [](const std::string& v, PanelAction* action) {
                       long n = 0;
                       if (!ParseInt(v, 1, 1000000, &n))
                           return std::string("a number from 1 to 1000000");
                       *action = [n](Panel& p) { p.LoseEveryNthAck(static_cast<int>(n)); };
                       return std::string();
                   })},
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
        "--pty the next is \"pty /dev/pts/N\". Each finished image is reported on stdout.\n"
        "\n"
        "With --panels N it serves N panels at once and prints N udp lines, then with --pty\n"
        "N pty lines, panel 0 first; each image report then begins \"panel I: \".\n"
        "--jumper, --protocol-version, --status, --drop, --delay, --burn-ms, --fail-final\n"
        "and --lose set every panel, or with \"I:\" before the value panel I only, e.g.\n"
        "--drop 1:any (panel 1 silent), --fail-final 2:1 (panel 2 fails its next burn),\n"
        "--delay 0:0x82=500 (panel 0 slow), --lose 3:4 (panel 3 loses every 4th data\n"
        "packet acknowledgement).";
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
    const std::vector<SimOption> options = Options(settings);
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
    const int count = static_cast<int>(settings.panels);
    const bool several = count > 1;
    for (const PanelSetup& setup : settings.setup) {
        if (setup.index && *setup.index >= count) {
            const std::string served =
                count == 1 ? "panel 0 is" : "panels 0 to " + std::to_string(count - 1) + " are";
            return usage(setup.option + " " + setup.value + " names panel " +
                         std::to_string(*setup.index) + ", but only " + served +
                         " served (--panels " + std::to_string(count) + ")");
        }
    }
    const uint32_t udp_address = settings.udp_address;
    const auto layout = settings.port_step ? korvane::sim::PanelLayout::kPorts
                                           : korvane::sim::PanelLayout::kAddresses;
    if (layout == korvane::sim::PanelLayout::kAddresses &&
        (udp_address + static_cast<uint32_t>(count - 1)) >> 24 != 127) {
        return usage("--panels " + std::to_string(count) + " from " +
                     korvane::sim::DottedQuad(udp_address) + " runs past 127.255.255.255");
    }
    if (layout == korvane::sim::PanelLayout::kPorts && settings.port != 0 &&
        settings.port + count - 1 > 65535) {
        return usage("--panels " + std::to_string(count) + " from port " +
                     std::to_string(settings.port) + " runs past port 65535");
    }

    // One folder for one panel as ever; beside each other, a folder each.
    std::vector<std::string> dumps(static_cast<size_t>(count));
    for (int i = 0; i < count && !settings.dump.empty(); ++i) {
        std::string& dump = dumps[static_cast<size_t>(i)];
        dump = several ? settings.dump + "/panel-" + std::to_string(i) : settings.dump;
        std::error_code ec;
        std::filesystem::create_directories(dump, ec);
        if (ec || !std::filesystem::is_directory(dump)) {
            std::fprintf(
                stderr, "korvane-panel-sim: cannot create the dump folder %s: %s\n", dump.c_str(),
                (ec ? ec : std::make_error_code(std::errc::not_a_directory)).message().c_str());
            return 1;
        }
    }

    // Panels burn on threads of their own: one report line at a time.
    std::mutex report_mutex;
    korvane::sim::PanelSet panels(count);
    for (int i = 0; i < count; ++i) {
        korvane::sim::Panel& panel = panels.panel(i);
        for (const PanelSetup& setup : settings.setup) {
            if (!setup.index || *setup.index == i)
                setup.apply(panel);
        }
        // Every finished image is reported on stdout, so that a script can
        // see what the panel checked.
        const std::string label = several ? "panel " + std::to_string(i) + ": " : "";
        panel.SetBurnObserver([&report_mutex, label, dump = dumps[static_cast<size_t>(i)]](
                                  const korvane::sim::BurnReport& r,
                                  std::span<const uint8_t> image) {
            std::lock_guard lock(report_mutex);
            std::printf("%simage kind %u at 0x%08X-0x%08X, announced sum 0x%08X, final result %u\n",
                        label.c_str(), r.kind, r.start, r.end, r.announced_checksum, r.status);
            if (!dump.empty())
                DumpImage(dump, r.kind, image);
            std::fflush(stdout);
        });
    }
    std::string error;
    if (!panels.StartUdp(udp_address, static_cast<uint16_t>(settings.port), layout, &error)) {
        std::fprintf(stderr, "korvane-panel-sim: cannot serve UDP on %s\n", error.c_str());
        return 1;
    }
    // Side by side, each panel tells its own address, as found panels do.
    if (!settings.bind.empty() || several)
        panels.ReportOwnAddresses();
    for (int i = 0; i < count; ++i) {
        std::printf("udp %s:%u\n", korvane::sim::DottedQuad(panels.address(i)).c_str(),
                    panels.port(i));
    }
    if (settings.pty) {
        if (!panels.StartPty(&error)) {
            std::fprintf(stderr, "korvane-panel-sim: cannot serve a pseudo-terminal: %s\n",
                         error.c_str());
            return 1;
        }
        for (int i = 0; i < count; ++i)
            std::printf("pty %s\n", panels.pty_path(i).c_str());
    }
    std::fflush(stdout);

    korvane::WaitForStopRequest();
    // Stopping joins every serving thread, so a dump being written is whole.
    panels.Stop();
    return 0;
}
