#include "cli/cli_app.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <variant>

#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "cli/logo_picture.h"
#include "link/device_error.h"
#include "link/link_manager.h"
#include "link/serial_devices.h"
#include "link/texts.h"
#include "link/usb_device.h"
#include "logo/logo_limits.h"
#include "models/hmi_types.h"
#include "protocol/panel_input_checks.h"
#include "protocol/panel_operations.h"
#include "settings/settings_file.h"
#include "system/file_read_check.h"
#include "system/program_files.h"
#include "transfer/firmware_run.h"
#include "transfer/image_kind.h"

namespace korvane::cli {

namespace {

namespace fs = std::filesystem;

constexpr char kUsageLine[] =
    "usage: korvane-cli [link options] COMMAND [arguments]   (korvane-cli --help for more)\n";

constexpr char kUsage[] =
    "usage: korvane-cli [link options] COMMAND [arguments]\n"
    "\n"
    "link options (this run only; nothing is saved):\n"
    "  --udp IP[:PORT]        UDP link (port 21845 when omitted)\n"
    "  --serial DEVICE|COMn   serial link at 115200 baud\n"
    "  --usb DEVICE           USB link\n"
    "  --settings FILE        settings file to use instead of the one found beside the program\n"
    "  --models FILE          model list to use instead of XMLName.dat beside the program\n"
    "  --trace                every frame sent and received on stderr, as hex, with time stamps\n"
    "  -q, --quiet            no progress display\n"
    "  --json                 results, messages and the final verdict as JSON lines on stdout\n"
    "  --force                send a value that would cut you off the panel or overwrite\n"
    "                         another image (refused otherwise)\n"
    "\n"
    "commands:\n"
    "  status                           query-state; prints \"jumper <n>\"\n"
    "  get-ip                           prints \"<ip> <port>\"\n"
    "  set-ip IP PORT [--gateway G] [--mask M]\n"
    "  get-clock                        prints \"YYYY-MM-DD HH:MM:SS\"\n"
    "  set-clock [YYYY-MM-DD HH:MM:SS]  default: now; years 2000 to 2099\n"
    "  erase\n"
    "  flash kernel|bootloader|filesystem FILE\n"
    "  flash logo PICTURE (--model NAME | --screen WxH) [--background RRGGBB]\n"
    "  logo PICTURE (--model NAME | --screen WxH) [--background RRGGBB] [-o FILE]\n"
    "  models                           one line per model: \"<name>\\t<width>x<height>\"\n"
    "  enter-download | end-download | change-mac\n"
    "  settings [--link udp|serial|usb] [--ip IP] [--port N] [--com N]\n"
    "  ports                            serial devices as COM numbers name them, USB devices\n"
    "\n"
    "\"korvane-cli COMMAND --help\" describes one command. Exit status: 0 Ok, 1 IoError,\n"
    "2 Timeout, 3 NetworkError, 4 ChecksumError, 5 PanelRefused, 6 OpenFailed,\n"
    "7 FileError, 8 RunCancelled, 64 usage error, 65 refused input (see --force).\n";

struct CommandHelp {
    const char* synopsis;
    const char* text;
    const char* example;
};

const std::map<std::string, CommandHelp>& Helps() {
    static const std::map<std::string, CommandHelp> helps = {
        {"status",
         {"status",
          "Asks the panel for its state and prints the jumper position (1 update, 2 normal).",
          "korvane-cli --udp 192.168.0.100 status"}},
        {"get-ip", {"get-ip", "Reads the panel's IP address and port.", "korvane-cli get-ip"}},
        {"set-ip",
         {"set-ip IP PORT [--gateway G] [--mask M]",
          "Sets the panel's address, port, gateway (default 192.168.0.1) and mask\n"
          "(default 255.255.255.0). The values are also saved as the panel network record.\n"
          "An address no one could reach (0.0.0.0, 255.255.255.255, 127.x, 224.0.0.0 and\n"
          "above) or a mask that is no mask is refused unless --force; a gateway outside\n"
          "the new subnet is sent with a warning.",
          "korvane-cli set-ip 192.168.0.120 21845 --gateway 192.168.0.1"}},
        {"get-clock", {"get-clock", "Reads the panel's clock.", "korvane-cli get-clock"}},
        {"set-clock",
         {"set-clock [YYYY-MM-DD HH:MM:SS]",
          "Sets the panel's clock; without a value, to now. The panel keeps the years 2000\n"
          "to 2099 and reports those back; another year is refused unless --force.",
          "korvane-cli set-clock \"2026-12-07 08:30:00\""}},
        {"erase", {"erase", "Erases the panel's flash (not over USB).", "korvane-cli erase"}},
        {"flash",
         {"flash kernel|bootloader|filesystem FILE\n"
          "       korvane-cli flash logo PICTURE (--model NAME | --screen WxH) [--background "
          "RRGGBB]",
          "Programs an image into the panel's flash; the panel's jumper must be in the update\n"
          "position. For a logo the picture is converted first (its .logo file is written\n"
          "beside it). A boot loader longer than 0x80000 bytes or a kernel longer than\n"
          "0x200000 bytes would overwrite the next image and is refused unless --force.\n"
          "Ctrl-C cancels the run.",
          "korvane-cli flash kernel zImage.bin"}},
        {"logo",
         {"logo PICTURE (--model NAME | --screen WxH) [--background RRGGBB] [-o FILE]",
          "Converts a picture (BMP, GIF, JPEG, PNG) into the panel's logo file, by default\n"
          "\"PICTURE.logo\". The background colour is RRGGBB, red first (default FFFFFF).",
          "korvane-cli logo start.bmp --screen 800x480 --background 000080"}},
        {"models",
         {"models", "Lists the panel models of the model list with their screen sizes.",
          "korvane-cli models"}},
        {"enter-download",
         {"enter-download", "Switches the panel into download mode and runs the version handshake.",
          "korvane-cli enter-download"}},
        {"end-download",
         {"end-download", "Takes the panel out of download mode.", "korvane-cli end-download"}},
        {"change-mac",
         {"change-mac", "Gives the panel a newly generated MAC address (prefix 00-4F-9A).",
          "korvane-cli change-mac"}},
        {"ports",
         {"ports",
          "Lists the serial devices in the order that COM numbers name them (COM1 first),\n"
          "then the panel USB devices found.",
          "korvane-cli ports"}},
        {"settings",
         {"settings [--link udp|serial|usb] [--ip IP] [--port N] [--com N]",
          "Shows the saved communication settings, or changes and saves them.",
          "korvane-cli settings --link udp --ip 192.168.0.100 --port 21845"}},
    };
    return helps;
}

struct Invocation {
    std::optional<LinkMode> mode;
    std::optional<std::array<uint8_t, 4>> ip;
    std::optional<uint16_t> port;
    std::optional<uint16_t> com;
    std::string device;
    std::optional<fs::path> settings_file;
    std::optional<fs::path> models_file;
    bool trace = false;
    bool quiet = false;
    bool json = false;
    bool force = false;
    bool help = false;
    std::string command;
    std::vector<std::string> args;               // positional arguments of the command
    std::map<std::string, std::string> options;  // command options and their values
};

struct UsageError {
    std::string text;
};

// Options of the commands that take a value.
bool CommandOptionTakesValue(const std::string& name) {
    static const char* const names[] = {"--gateway",    "--mask", "--model", "--screen",
                                        "--background", "-o",     "--link",  "--ip",
                                        "--port",       "--com"};
    for (const char* n : names) {
        if (name == n)
            return true;
    }
    return false;
}

std::variant<Invocation, UsageError> Parse(const std::vector<std::string>& args) {
    Invocation inv;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto next = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (a == "--udp") {
            auto v = next();
            if (!v)
                return UsageError{"--udp needs IP[:PORT]"};
            const size_t colon = v->find(':');
            inv.ip = ParseIpv4(v->substr(0, colon));
            if (!inv.ip)
                return UsageError{"not an IPv4 address: " + v->substr(0, colon)};
            inv.port = kDefaultPanelPort;
            if (colon != std::string::npos) {
                const auto port = ParseNumber(v->substr(colon + 1), 1, 65535);
                if (!port)
                    return UsageError{"not a port from 1 to 65535: " + v->substr(colon + 1)};
                inv.port = static_cast<uint16_t>(*port);
            }
            inv.mode = LinkMode::Udp;
        } else if (a == "--serial") {
            auto v = next();
            if (!v)
                return UsageError{"--serial needs a device path or COMn"};
            inv.mode = LinkMode::Serial;
            if (v->size() > 3 && (v->rfind("COM", 0) == 0 || v->rfind("com", 0) == 0)) {
                const auto n = ParseNumber(v->substr(3), 1, 255);
                if (!n)
                    return UsageError{"not a COM port: " + *v};
                inv.com = static_cast<uint16_t>(*n);
            } else {
                inv.device = *v;
            }
        } else if (a == "--usb") {
            auto v = next();
            if (!v)
                return UsageError{"--usb needs a device path"};
            inv.mode = LinkMode::Usb;
            inv.device = *v;
        } else if (a == "--settings" || a == "--models") {
            auto v = next();
            if (!v)
                return UsageError{a + " needs a file"};
            (a == "--settings" ? inv.settings_file : inv.models_file) = fs::path(*v);
        } else if (a == "--trace") {
            inv.trace = true;
        } else if (a == "-q" || a == "--quiet") {
            inv.quiet = true;
        } else if (a == "--json") {
            inv.json = true;
        } else if (a == "--force") {
            inv.force = true;
        } else if (a == "-h" || a == "--help") {
            inv.help = true;
        } else if (CommandOptionTakesValue(a)) {
            auto v = next();
            if (!v)
                return UsageError{a + " needs a value"};
            inv.options[a] = *v;
        } else if (a.size() > 1 && a[0] == '-') {
            return UsageError{"unknown option " + a};
        } else if (inv.command.empty()) {
            inv.command = a;
        } else {
            inv.args.push_back(a);
        }
    }
    return inv;
}

class Cli {
  public:
    Cli(Invocation inv, CliEnvironment& env)
        : inv_(std::move(inv)), env_(env), out_(env.out, env.err, inv_.json), sink_(out_) {}

    int Run();

  private:
    int Usage(const std::string& problem) {
        out_.Problem(problem);
        env_.err << kUsageLine;
        return kUsageError;
    }
    int Finish(LinkResult r) {
        // Some failures the core leaves unexplained by design; the terminal
        // still gets one line saying why.
        if (r != LinkResult::Ok && !out_.said())
            out_.Problem(Unexplained(r));
        out_.Verdict(r);
        return static_cast<int>(r);
    }
    static std::string Unexplained(LinkResult r);
    // Shows the check's warnings and refusals; true when the command must
    // stop (refused, and no --force).
    bool Refuses(const InputCheck& check);
    int Problem(const std::string& text, LinkResult r) {
        out_.Problem(text);
        return Finish(r);
    }
    bool NeedArgs(size_t lo, size_t hi) const {
        return inv_.args.size() >= lo && inv_.args.size() <= hi;
    }

    SettingsFile OpenSettings();
    void ConfigureLink(LinkManager& link, const SettingsFile& settings);
    int WithPanel(const std::function<void(PanelSession&, const SettingsFile&)>& body);
    bool cancel_told_ = false;  // the command has said it was cancelled
    void ExplainOpenFailure(LinkManager& link);
    std::optional<std::pair<int, int>> ScreenSize();
    std::optional<uint32_t> Background();

    int Status();
    int GetIp();
    int SetIp();
    int GetClock();
    int SetClock();
    int Erase();
    int Flash();
    int Models();
    int Logo();
    // Converts the picture of `logo` or `flash logo`; the logo file's path,
    // or nothing after telling why.
    std::optional<fs::path> ConvertLogo(const fs::path& picture, const fs::path& output);
    int Program(ImageKind kind, const fs::path& image);
    int Settings();
    int Ports();

    Invocation inv_;
    CliEnvironment& env_;
    Output out_;
    OutputSink sink_;
};

// The link as the user named it, for a line about a failure on it.
std::string LinkName(const LinkSettings& s) {
    switch (s.mode) {
        case LinkMode::Udp:
            return "udp " + std::to_string(s.address & 0xFF) + "." +
                   std::to_string(s.address >> 8 & 0xFF) + "." +
                   std::to_string(s.address >> 16 & 0xFF) + "." + std::to_string(s.address >> 24) +
                   ":" + std::to_string(s.port);
        case LinkMode::Serial:
            return "serial " +
                   (s.serial_device.empty() ? "COM" + std::to_string(s.com) : s.serial_device);
        case LinkMode::Usb:
            return "usb " + (s.usb_device.empty() ? std::string("(first found)") : s.usb_device);
    }
    return "no link";
}

std::string Cli::Unexplained(LinkResult r) {
    std::string why;
    switch (r) {
        case LinkResult::Ok:
            break;
        case LinkResult::IoError:
            why = "the link failed while sending to or reading from the panel";
            break;
        case LinkResult::Timeout:
            why = "the panel did not answer in time";
            break;
        case LinkResult::NetworkError:
            why = "the network would not carry the request";
            break;
        case LinkResult::ChecksumError:
            why = "the panel's reply was damaged";
            break;
        case LinkResult::PanelRefused:
            why = "the panel refused the command";
            break;
        case LinkResult::OpenFailed:
            why = "the link could not be opened";
            break;
        case LinkResult::FileError:
            why = "a file could not be read or written";
            break;
        case LinkResult::RunCancelled:
            why = "cancelled";
            break;
    }
    return std::string("failed (") + LinkResultName(r) + "): " + why;
}

bool Cli::Refuses(const InputCheck& check) {
    for (const std::string& r : check.refusals)
        out_.Problem((inv_.force ? "sent anyway (--force): " : "refused: ") + r);
    for (const std::string& w : check.warnings)
        out_.Problem("warning: " + w);
    if (!check.Refused() || inv_.force)
        return false;
    // Like a usage error, a refusal has no verdict: nothing was tried.
    out_.Problem("nothing was sent; --force sends it anyway");
    return true;
}

SettingsFile Cli::OpenSettings() {
    SettingsFile settings = inv_.settings_file
                                ? SettingsFile(*inv_.settings_file)
                                : SettingsFile::For(ProgramFiles::InFolder(env_.program_folder));
    settings.Load();
    return settings;
}

void Cli::ConfigureLink(LinkManager& link, const SettingsFile& settings) {
    LinkSettings s = settings.record().ToLinkSettings();
    if (inv_.mode)
        s.mode = *inv_.mode;
    if (inv_.ip) {
        const auto& ip = *inv_.ip;
        s.address =
            uint32_t{ip[0]} | uint32_t{ip[1]} << 8 | uint32_t{ip[2]} << 16 | uint32_t{ip[3]} << 24;
    }
    if (inv_.port)
        s.port = *inv_.port;
    if (inv_.com)
        s.com = *inv_.com;
    if (inv_.mode == LinkMode::Serial) {
        s.serial_device = inv_.device;
        s.baud = kDefaultBaud;
    }
    if (inv_.mode == LinkMode::Usb)
        s.usb_device = inv_.device;
    link.Configure(s);
}

int Cli::WithPanel(const std::function<void(PanelSession&, const SettingsFile&)>& body) {
    SettingsFile settings = OpenSettings();
    // A link given on the command line needs nothing of the file; without one
    // a broken file would only show up as a time-out with no frame sent.
    if (!inv_.mode) {
        if (const std::string why = settings.UnusableBecause(); !why.empty()) {
            return Problem(why +
                               "; choose the link with korvane-cli settings --link udp --ip IP "
                               "--port 21845 (or --link serial --com N, --link usb), or give "
                               "--udp, --serial or --usb for this run",
                           LinkResult::FileError);
        }
    }
    LinkManager link(sink_);
    ConfigureLink(link, settings);
    std::optional<TraceObserver> trace;
    if (inv_.trace) {
        trace.emplace(env_.err);
        link.SetObserver(&*trace);
    }
    // Ctrl-C cancels whatever runs: every wait for the panel looks at it.
    link.CancelWhen(env_.interrupt);
    PanelSession session(link);
    body(session, settings);
    session.WaitForRun();
    if (link.result() == LinkResult::OpenFailed)
        ExplainOpenFailure(link);
    if (link.result() == LinkResult::RunCancelled) {
        if (!cancel_told_)
            out_.Problem("cancelled");
    } else if (link.result() != LinkResult::Ok && !out_.said()) {
        out_.Problem(Unexplained(link.result()) + " (" + LinkName(link.settings()) + ")");
    }
    link.SetObserver(nullptr);
    return Finish(link.result());
}

void Cli::ExplainOpenFailure(LinkManager& link) {
    // Only device links can say why they did not open.
    const DeviceError& e = link.open_error();
    if (e.kind == DeviceErrorKind::None)
        return;
    // The hints name this tool's own options for each kind of link.
    const LinkMode mode = link.settings().mode;
    std::string text = e.text;
    if (e.kind == DeviceErrorKind::Denied && mode == LinkMode::Usb) {
        text +=
            "\npermission denied: give your user access to the device, e.g. with a udev "
            "rule (MODE=\"0660\", GROUP=\"plugdev\") and sudo adduser $USER plugdev";
    } else if (e.kind == DeviceErrorKind::Denied) {
        text +=
            "\npermission denied: add your user to the group that owns the device "
            "(on Debian: sudo adduser $USER dialout, then log in again), or run with "
            "enough rights";
    } else if (e.kind == DeviceErrorKind::NoDevice && mode == LinkMode::Usb) {
        text +=
            "\nname the device with --usb PATH; without a path the first /dev/korvane-usbN "
            "is used (korvane-cli ports lists those found)";
    } else if (e.kind == DeviceErrorKind::NoDevice && mode == LinkMode::Serial) {
        text +=
            "\nname the device with --serial /dev/ttyUSB0 (or another path); \"COMn\" is "
            "the n-th serial device found";
    } else if (e.kind == DeviceErrorKind::Busy) {
        text += "\nanother program is using the device";
    }
    out_.Problem(text);
}

int Cli::Status() {
    if (!NeedArgs(0, 0))
        return Usage("status takes no arguments");
    return WithPanel([&](PanelSession& s, const SettingsFile&) {
        if (auto jumper = QueryPanelState(s)) {
            out_.Result("jumper " + std::to_string(*jumper), {{"jumper", std::to_string(*jumper)}});
        }
    });
}

int Cli::GetIp() {
    if (!NeedArgs(0, 0))
        return Usage("get-ip takes no arguments");
    return WithPanel([&](PanelSession& s, const SettingsFile&) {
        if (auto a = GetPanelAddress(s)) {
            out_.Result(a->IpText() + " " + std::to_string(a->port),
                        {{"ip", JsonString(a->IpText())}, {"port", std::to_string(a->port)}});
        }
    });
}

int Cli::SetIp() {
    if (!NeedArgs(2, 2))
        return Usage("set-ip needs IP and PORT");
    NetworkTexts values;
    values.ip = inv_.args[0];
    values.port = inv_.args[1];
    if (inv_.options.count("--gateway"))
        values.gateway = inv_.options["--gateway"];
    if (inv_.options.count("--mask"))
        values.mask = inv_.options["--mask"];
    for (const auto* text : {&values.ip, &values.gateway, &values.mask}) {
        if (!ParseIpv4(*text))
            return Usage("not an IPv4 address: " + *text);
    }
    if (!ParseNumber(values.port, 1, 65535))
        return Usage("not a port from 1 to 65535: " + values.port);
    if (Refuses(CheckPanelNetwork(values.ToRecord())))
        return kRefusedInput;
    return WithPanel([&](PanelSession& s, const SettingsFile& settings) {
        if (SetPanelAddress(s, values, &settings) || s.result() != LinkResult::FileError)
            return;
        // The core stops without a word when the record cannot be saved.
        const auto where = settings.PanelNetworkPath();
        out_.Problem("cannot write the panel network record " +
                     (where ? where->string() : std::string()) + ": " +
                     settings.write_error().message() + "; nothing was sent to the panel");
    });
}

int Cli::GetClock() {
    if (!NeedArgs(0, 0))
        return Usage("get-clock takes no arguments");
    return WithPanel([&](PanelSession& s, const SettingsFile&) {
        if (auto c = GetPanelClock(s, nullptr, nullptr)) {
            out_.Result(c->Text(), {{"clock", JsonString(c->Text())}});
        }
    });
}

int Cli::SetClock() {
    ClockValue when = LocalNow();
    if (inv_.args.size() == 1 || inv_.args.size() == 2) {
        std::string text = inv_.args[0];
        if (inv_.args.size() == 2)
            text += " " + inv_.args[1];
        const auto parsed = ParseClock(text);
        if (!parsed)
            return Usage("not a date and time \"YYYY-MM-DD HH:MM:SS\": " + text);
        when = *parsed;
    } else if (!inv_.args.empty()) {
        return Usage("set-clock takes one date and time");
    }
    if (Refuses(CheckPanelClock(when)))
        return kRefusedInput;
    return WithPanel([&](PanelSession& s, const SettingsFile&) {
        if (SetPanelClock(s, when, nullptr, nullptr)) {
            out_.Result(when.Text(), {{"clock", JsonString(when.Text())}});
        }
    });
}

int Cli::Erase() {
    if (!NeedArgs(0, 0))
        return Usage("erase takes no arguments");
    return WithPanel([&](PanelSession& s, const SettingsFile&) {
        NullProgress quiet;
        JsonWaits waits(out_);
        std::optional<TerminalProgress> shown;
        if (env_.err_is_terminal && !inv_.quiet && !inv_.json) {
            // The erase run reports only its end; the line says what it waits for.
            shown.emplace(env_.err, 0);
            out_.SetProgress(&*shown);
            shown->SetText(Text(TextId::ProgressErase));
        }
        ProgressSink& progress = shown       ? static_cast<ProgressSink&>(*shown)
                                 : inv_.json ? static_cast<ProgressSink&>(waits)
                                             : quiet;
        if (StartEraseFlash(s, progress))
            s.WaitForRun();
        out_.SetProgress(nullptr);
        if (shown)
            shown->Finish();
    });
}

int Cli::Program(ImageKind kind, const fs::path& image) {
    // The core starts quietly on an image it cannot open; say why first.
    std::error_code ec = CheckReadable(image);
    const auto size = ec ? 0 : fs::file_size(image, ec);
    if (ec) {
        return Problem("cannot read the image " + image.string() + ": " + ec.message(),
                       LinkResult::FileError);
    }
    if (Refuses(CheckImageSize(kind, size)))
        return kRefusedInput;
    return WithPanel([&](PanelSession& s, const SettingsFile&) {
        FlashTransfer transfer(s.link());
        NullProgress quiet;
        JsonWaits waits(out_);
        std::optional<TerminalProgress> shown;
        if (env_.err_is_terminal && !inv_.quiet && !inv_.json) {
            shown.emplace(env_.err, size);
            out_.SetProgress(&*shown);
        }
        ProgressSink& progress = shown       ? static_cast<ProgressSink&>(*shown)
                                 : inv_.json ? static_cast<ProgressSink&>(waits)
                                             : quiet;
        // The progress line lives only in this scope.
        struct Detach {
            Output& out;
            ~Detach() { out.SetProgress(nullptr); }
        } detach{out_};
        // Ctrl-C is the Cancel button.
        transfer.CancelWhen(env_.interrupt);
        if (!UpdateFirmware(s, transfer, kind, image, progress))
            return;
        s.WaitForRun();
        if (shown)
            shown->Finish();
        if (s.result() == LinkResult::RunCancelled) {
            out_.Problem("cancelled: the panel keeps what it had written so far");
            cancel_told_ = true;
        }
        if (s.result() == LinkResult::Ok) {
            out_.Result("programmed " + std::to_string(size) + " bytes",
                        {{"bytes", std::to_string(size)},
                         {"packets", std::to_string(transfer.packets_sent())}});
        }
    });
}

int Cli::Flash() {
    if (!NeedArgs(2, 2))
        return Usage("flash needs a kind (kernel, bootloader, filesystem, logo) and a file");
    const std::string& name = inv_.args[0];
    const ImageKindInfo* kind = nullptr;
    for (const ImageKindInfo& k : kImageKinds) {
        if (name == k.name)
            kind = &k;
    }
    if (!kind)
        return Usage("unknown image kind " + name + " (kernel, bootloader, filesystem, logo)");
    if (kind->kind != ImageKind::Logo)
        return Program(kind->kind, inv_.args[1]);
    const fs::path output = inv_.options.count("-o") ? fs::path(inv_.options["-o"]) : fs::path();
    const auto logo = ConvertLogo(inv_.args[1], output);
    if (!logo)
        return static_cast<int>(LinkResult::FileError);
    return Program(ImageKind::Logo, *logo);
}

std::optional<std::pair<int, int>> Cli::ScreenSize() {
    const bool has_model = inv_.options.count("--model");
    const bool has_screen = inv_.options.count("--screen");
    if (has_model == has_screen) {
        out_.Problem("give either --model NAME or --screen WxH");
        return std::nullopt;
    }
    if (has_screen) {
        auto size = ParseScreen(inv_.options["--screen"]);
        if (!size)
            out_.Problem("not a screen size WxH: " + inv_.options["--screen"]);
        return size;
    }
    std::vector<CHmiType> models;
    const auto file = inv_.models_file
                          ? std::optional<fs::path>(*inv_.models_file)
                          : HmiTypesFileIn(ProgramFiles::InFolder(env_.program_folder));
    if (file)
        LoadHmiTypes(*file, models);
    for (const auto& m : models) {
        if (Utf16ToUtf8(m.name) == inv_.options["--model"]) {
            return std::pair<int, int>{m.screen_width, m.screen_height};
        }
    }
    out_.Problem("no model named \"" + inv_.options["--model"] + "\" in " +
                 (file ? file->string() : std::string("the model list")) +
                 " (korvane-cli models lists them)");
    return std::nullopt;
}

std::optional<uint32_t> Cli::Background() {
    if (!inv_.options.count("--background"))
        return 0x00FFFFFFu;
    auto colour = ParseColour(inv_.options["--background"]);
    if (!colour)
        out_.Problem("not a colour RRGGBB: " + inv_.options["--background"]);
    return colour;
}

int Cli::Models() {
    if (!NeedArgs(0, 0))
        return Usage("models takes no arguments");
    const auto file = inv_.models_file
                          ? std::optional<fs::path>(*inv_.models_file)
                          : HmiTypesFileIn(ProgramFiles::InFolder(env_.program_folder));
    std::vector<CHmiType> models;
    if (!file || !LoadHmiTypes(*file, models)) {
        return Problem("cannot read a model list from " +
                           (file ? file->string() : std::string("beside the program")),
                       LinkResult::FileError);
    }
    for (const auto& m : models) {
        const std::string name = Utf16ToUtf8(m.name);
        const std::string size =
            std::to_string(m.screen_width) + "x" + std::to_string(m.screen_height);
        out_.Result(name + "\t" + size, {{"name", JsonString(name)},
                                         {"width", std::to_string(m.screen_width)},
                                         {"height", std::to_string(m.screen_height)}});
    }
    return Finish(LinkResult::Ok);
}

std::optional<fs::path> Cli::ConvertLogo(const fs::path& picture, const fs::path& output) {
    // Exits as an unreadable picture does (FileError): the command line itself is sound.
    if (!CanDecodePictures()) {
        Problem("logo conversion needs the Qt build of korvane-cli (configured with KORVANE_QT=ON)",
                LinkResult::FileError);
        return std::nullopt;
    }
    const auto screen = ScreenSize();
    const auto background = Background();
    if (!screen || !background) {
        out_.Verdict(LinkResult::FileError);
        return std::nullopt;
    }
    // The decoder says "not found" for any file it cannot open; the system
    // knows better.
    if (const std::error_code ec = CheckReadable(picture)) {
        Problem("cannot read the picture " + picture.string() + ": " + ec.message(),
                LinkResult::FileError);
        return std::nullopt;
    }
    std::string error;
    const auto size = ReadPictureSize(picture, &error);
    if (!size) {
        Problem("cannot read the picture " + picture.string() + ": " + error,
                LinkResult::FileError);
        return std::nullopt;
    }
    switch (CheckLogoPicture(size->width, size->height, screen->first, screen->second)) {
        case LogoPictureFit::LargerThanScreen:
            sink_.ShowText(MessageKind::AppDefault, TextId::LogoLargerThanScreen);
            Finish(LinkResult::FileError);
            return std::nullopt;
        case LogoPictureFit::TooManyPixels:
            sink_.ShowText(MessageKind::Error, TextId::LogoTooManyPixels);
            Finish(LinkResult::FileError);
            return std::nullopt;
        case LogoPictureFit::Fits:
            break;
    }
    const LogoWriteResult written =
        WriteLogoForPicture(picture, *background, screen->first, screen->second, output);
    if (!written.ok()) {
        Problem(written.message, LinkResult::FileError);
        return std::nullopt;
    }
    return written.logo_path;
}

int Cli::Logo() {
    if (!NeedArgs(1, 1))
        return Usage("logo needs one PICTURE");
    const fs::path output = inv_.options.count("-o") ? fs::path(inv_.options["-o"]) : fs::path();
    const auto logo = ConvertLogo(inv_.args[0], output);
    if (!logo)
        return static_cast<int>(LinkResult::FileError);
    out_.Result(logo->string(), {{"logo", JsonString(logo->string())}});
    return Finish(LinkResult::Ok);
}

int Cli::Settings() {
    if (!NeedArgs(0, 0))
        return Usage("settings takes only options");
    SettingsFile settings = OpenSettings();
    if (!settings.path())
        return Problem("no settings file for this program", LinkResult::FileError);
    bool changed = false;
    CommSettings& r = settings.record();
    if (inv_.options.count("--link")) {
        const std::string& v = inv_.options["--link"];
        if (v == "udp")
            r.link_mode = 1;
        else if (v == "serial")
            r.link_mode = 2;
        else if (v == "usb")
            r.link_mode = 3;
        else
            return Usage("--link takes udp, serial or usb");
        changed = true;
    }
    if (inv_.options.count("--ip")) {
        const auto ip = ParseIpv4(inv_.options["--ip"]);
        if (!ip)
            return Usage("not an IPv4 address: " + inv_.options["--ip"]);
        r.address = *ip;
        changed = true;
    }
    if (inv_.options.count("--port")) {
        const auto port = ParseNumber(inv_.options["--port"], 1, 65535);
        if (!port)
            return Usage("not a port from 1 to 65535: " + inv_.options["--port"]);
        r.port = static_cast<uint16_t>(*port);
        changed = true;
    }
    if (inv_.options.count("--com")) {
        const auto com = ParseNumber(inv_.options["--com"], 1, 255);
        if (!com)
            return Usage("not a COM port number: " + inv_.options["--com"]);
        r.com = static_cast<uint16_t>(*com);
        changed = true;
    }
    if (changed) {
        r.baud = kDefaultBaud;
        if (!settings.Save()) {
            return Problem("cannot write " + settings.path()->string() + ": " +
                               settings.write_error().message(),
                           LinkResult::FileError);
        }
    }
    static const char* const kLinks[] = {"none", "udp", "serial", "usb"};
    const std::string link = r.link_mode <= 3 ? kLinks[r.link_mode] : "none";
    const std::string ip = std::to_string(r.address[0]) + "." + std::to_string(r.address[1]) + "." +
                           std::to_string(r.address[2]) + "." + std::to_string(r.address[3]);
    // The COM number names whichever device is n-th now: show which.
    const auto device = ComPortDevice(r.com);
    const std::string device_text = device ? *device : "no such device now";
    std::ostringstream plain;
    plain << "file " << settings.path()->string() << "\nlink " << link << "\nip " << ip << "\nport "
          << r.port << "\ncom " << r.com << " (" << device_text << ")\nbaud " << r.baud;
    out_.Result(plain.str(), {{"file", JsonString(settings.path()->string())},
                              {"link", JsonString(link)},
                              {"ip", JsonString(ip)},
                              {"port", std::to_string(r.port)},
                              {"com", std::to_string(r.com)},
                              {"com_device", device ? JsonString(*device) : "null"},
                              {"baud", std::to_string(r.baud)}});
    return Finish(LinkResult::Ok);
}

int Cli::Ports() {
    if (!NeedArgs(0, 0))
        return Usage("ports takes no arguments");
    for (const ComPort& port : ListComPorts()) {
        const std::string com = "COM" + std::to_string(port.number);
        out_.Result(com + "\t" + port.device,
                    {{"port", JsonString(com)}, {"device", JsonString(port.device)}});
    }
    for (const std::string& usb : ListUsbDevices())
        out_.Result("USB\t" + usb, {{"port", JsonString("USB")}, {"device", JsonString(usb)}});
    return Finish(LinkResult::Ok);
}

int Cli::Run() {
    if (inv_.command.empty()) {
        if (inv_.help) {
            env_.out << kUsage;
            return 0;
        }
        return Usage("no command given");
    }
    const auto& helps = Helps();
    const auto help = helps.find(inv_.command);
    if (help == helps.end())
        return Usage("unknown command " + inv_.command);
    if (inv_.help) {
        env_.out << "usage: korvane-cli [link options] " << help->second.synopsis << "\n\n"
                 << help->second.text << "\n\nexample: " << help->second.example << "\n";
        return 0;
    }
    const std::string& c = inv_.command;
    if (c == "status")
        return Status();
    if (c == "get-ip")
        return GetIp();
    if (c == "set-ip")
        return SetIp();
    if (c == "get-clock")
        return GetClock();
    if (c == "set-clock")
        return SetClock();
    if (c == "erase")
        return Erase();
    if (c == "flash")
        return Flash();
    if (c == "models")
        return Models();
    if (c == "logo")
        return Logo();
    if (c == "settings")
        return Settings();
    if (c == "ports")
        return Ports();
    if (!NeedArgs(0, 0))
        return Usage(c + " takes no arguments");
    return WithPanel([&](PanelSession& s, const SettingsFile&) {
        if (c == "enter-download")
            RunEnterDownload(s);
        if (c == "end-download" && !RunEndDownload(s) && s.result() == LinkResult::PanelRefused &&
            s.Jumper() != 1 && s.Jumper() != 2) {
            out_.Problem("end-download needs the jumper in position 2; the panel reports " +
                         std::to_string(s.Jumper()));
        }
        if (c == "change-mac") {
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            ChangeMac(s, static_cast<uint64_t>(
                             std::chrono::duration_cast<std::chrono::seconds>(now).count()));
        }
    });
}

}  // namespace

int RunCli(const std::vector<std::string>& args, CliEnvironment& env) {
    auto parsed = Parse(args);
    if (auto* usage = std::get_if<UsageError>(&parsed)) {
        env.err << "korvane-cli: " << usage->text << "\n" << kUsageLine;
        return kUsageError;
    }
    Cli cli(std::get<Invocation>(std::move(parsed)), env);
    return cli.Run();
}

}  // namespace korvane::cli
