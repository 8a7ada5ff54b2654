#include "cli/cli_app.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <variant>

#include "cli/cli_args.h"
#include "cli/cli_commands.h"
#include "cli/cli_output.h"
#include "cli/discover_command.h"
#include "cli/logo_picture.h"
#include "cli/terminal_width.h"
#include "link/device_error.h"
#include "link/link_manager.h"
#include "link/serial_devices.h"
#include "link/texts.h"
#include "link/usb_devices.h"
#include "logo/logo_limits.h"
#include "models/panel_models.h"
#include "models/screen_size.h"
#include "protocol/panel_input_checks.h"
#include "protocol/panel_operations.h"
#include "settings/settings_file.h"
#include "system/display_path.h"
#include "system/file_read_check.h"
#include "system/program_files.h"
#include "system/version.h"
#include "transfer/firmware_run.h"
#include "transfer/image_kind.h"
#include "xml/xml_document.h"

namespace korvane::cli {

namespace {

namespace fs = std::filesystem;

constexpr char kMore[] = "   (korvane-cli --help for more)\n";
// What mends a settings file that cannot serve.
constexpr char kChooseLink[] =
    "; choose the link with korvane-cli settings --link udp --ip IP --port 21845 (or --link "
    "serial --com N, --link usb)";

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
    bool version = false;
    // Hidden: what the build installs, printed from the same table as --help.
    bool man = false;
    bool completion = false;
    std::string command;
    std::vector<std::string> args;               // positional arguments of the command
    std::map<std::string, std::string> options;  // command options and their values
};

struct UsageError {
    std::string text;
};

// An option of any command, for the parser to know whether it takes a value
// before it knows the command (options may come first).
const OptionDoc* AnyCommandOption(std::string_view name) {
    for (const CommandDoc& c : CliDoc().commands) {
        if (const OptionDoc* o = FindOption(c.options, name))
            return o;
    }
    return nullptr;
}

const OptionDoc* GlobalOption(std::string_view name) {
    for (const OptionGroup& g : CliDoc().groups) {
        if (const OptionDoc* o = FindOption(g.options, name))
            return o;
    }
    return nullptr;
}

// "-1" is a value (a port, say), not an option.
bool LooksLikeOption(const std::string& a) {
    return a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9');
}

std::optional<UsageError> ApplyGlobal(Invocation& inv, const std::string& name,
                                      const std::string& v) {
    auto link = [&](LinkMode mode) -> std::optional<UsageError> {
        if (inv.mode)
            return UsageError{"give one link only: --udp, --serial or --usb"};
        inv.mode = mode;
        return std::nullopt;
    };
    if (name == "--udp") {
        if (auto e = link(LinkMode::Udp))
            return e;
        const size_t colon = v.find(':');
        inv.ip = ParseIpv4(v.substr(0, colon));
        if (!inv.ip)
            return UsageError{"not an IPv4 address: " + v.substr(0, colon)};
        inv.port = kDefaultPanelPort;
        if (colon != std::string::npos) {
            const auto port = ParseNumber(v.substr(colon + 1), 1, 65535);
            if (!port)
                return UsageError{"not a port from 1 to 65535: " + v.substr(colon + 1)};
            inv.port = static_cast<uint16_t>(*port);
        }
    } else if (name == "--serial") {
        if (auto e = link(LinkMode::Serial))
            return e;
        if (v.empty())
            return UsageError{"--serial needs a device path or COMn, not an empty word"};
        if (v.size() > 3 && (v.rfind("COM", 0) == 0 || v.rfind("com", 0) == 0)) {
            const auto n = ParseNumber(v.substr(3), 1, 255);
            if (!n)
                return UsageError{"not a COM port: " + v};
            inv.com = static_cast<uint16_t>(*n);
        } else {
            inv.device = v;
        }
    } else if (name == "--usb") {
        if (auto e = link(LinkMode::Usb))
            return e;
        if (v.empty())
            return UsageError{"--usb needs a device path, not an empty word"};
        inv.device = v;
    } else if (name == "--settings" || name == "--models") {
        if (v.empty())
            return UsageError{name + " needs a file, not an empty word"};
        (name == "--settings" ? inv.settings_file : inv.models_file) = fs::path(v);
    } else if (name == "--trace") {
        inv.trace = true;
    } else if (name == "-q" || name == "--quiet") {
        inv.quiet = true;
    } else if (name == "--json") {
        inv.json = true;
    } else if (name == "--force") {
        inv.force = true;
    } else if (name == "-h" || name == "--help") {
        inv.help = true;
    } else if (name == "--version") {
        inv.version = true;
    } else {
        // Listed in the table but not handled here: a fault of ours, said plainly.
        return UsageError{"option " + name + " is not handled"};
    }
    return std::nullopt;
}

std::variant<Invocation, UsageError> Parse(const std::vector<std::string>& args) {
    Invocation inv;
    bool options_ended = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options_ended || !LooksLikeOption(a)) {
            if (inv.command.empty())
                inv.command = a;
            else
                inv.args.push_back(a);
            continue;
        }
        if (a == "--") {
            options_ended = true;
            continue;
        }
        if (a == "--man" || a == "--bash-completion") {
            (a == "--man" ? inv.man : inv.completion) = true;
            continue;
        }
        // --name=value as well as --name value.
        std::string name = a;
        std::optional<std::string> inline_value;
        if (const size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = a.substr(0, eq);
            inline_value = a.substr(eq + 1);
        }
        const OptionDoc* global = GlobalOption(name);
        const OptionDoc* doc = global ? global : AnyCommandOption(name);
        if (!doc)
            return UsageError{"unknown option " + name};
        std::string value;
        if (!doc->value.empty()) {
            if (inline_value) {
                value = *inline_value;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return UsageError{name + " needs " + doc->value};
            }
        } else if (inline_value) {
            return UsageError{name + " takes no value"};
        }
        if (!global) {
            inv.options[name] = value;
            continue;
        }
        if (auto e = ApplyGlobal(inv, name, value))
            return *e;
    }
    return inv;
}

// The usage error on stderr; with --json also the one line a script reads.
int ReportUsage(CliEnvironment& env, bool json, const std::string& text) {
    std::string usage = UsageLine(CliDoc());
    usage.pop_back();  // its line end follows the pointer to --help
    env.err << "korvane-cli: " << text << "\n" << usage << kMore;
    if (json) {
        env.out << "{\"event\":\"verdict\",\"result\":\"UsageError\",\"code\":" << kUsageError
                << ",\"text\":" << JsonString(text) << "}\n"
                << std::flush;
    }
    return kUsageError;
}

class Cli {
  public:
    Cli(Invocation inv, CliEnvironment& env)
        : inv_(std::move(inv)),
          env_(env),
          out_(env.out, env.err, inv_.json),
          sink_(out_, [this](TextId id) { return Hint(id); }) {}

    int Run();

  private:
    int Usage(const std::string& problem) { return ReportUsage(env_, inv_.json, problem); }
    int Finish(LinkResult r) {
        // Some failures the core leaves unexplained by design; the terminal
        // still gets one line saying why.
        if (r != LinkResult::Ok && !out_.said())
            out_.Problem(Unexplained(r));
        out_.Verdict(r);
        return static_cast<int>(r);
    }
    static std::string Unexplained(LinkResult r);
    // An English line on what to do about a stored panel text, for this run.
    std::string Hint(TextId id) const;
    // The link of the run, once configured (for the hints).
    std::optional<LinkSettings> link_;
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
    // The terminal's width for the progress line (stderr is the terminal).
    std::function<int()> TerminalColumns() {
        if (!width_)
            width_.emplace();
        return [this] { return width_->Columns(); };
    }
    std::optional<TerminalWidth> width_;
    void ExplainOpenFailure(LinkManager& link);
    // Why a device that had opened failed during the run, when it can tell.
    void ExplainTransferFailure(LinkManager& link);
    // The screen and background a logo is made for; or the exit status
    // after saying why there is none (64 for the command line, 7 for the
    // model list).
    struct LogoTarget {
        int width;
        int height;
        uint32_t background;
    };
    std::variant<LogoTarget, int> ReadLogoTarget();
    std::optional<fs::path> ModelListFile() const;
    // Why the model list yields no models: no file, unreadable, not
    // well-formed, no "ge" root or no "HMI_Types".
    static std::string ModelListProblem(const std::optional<fs::path>& file);
    // LoadPanelModels, with a warning for each model left out.
    bool LoadModels(const fs::path& file, std::vector<PanelModel>& models);

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
    std::optional<fs::path> ConvertLogo(const fs::path& picture, const LogoTarget& target);
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
        case LinkResult::ImageChanged:
            why = "the image file changed during the run; its last packet was not sent";
            break;
    }
    return std::string("failed (") + LinkResultName(r) + "): " + why;
}

std::string Cli::Hint(TextId id) const {
    const std::string link = link_ ? LinkName(*link_) : std::string("the link");
    switch (id) {
        case TextId::SendFailed:
            if (link_ && link_->mode == LinkMode::Udp && link_->address == 0xFFFFFFFFu) {
                return "no panel address is configured yet (255.255.255.255 is what fresh "
                       "settings hold): give --udp IP[:PORT] for this run, or save it with "
                       "korvane-cli settings --link udp --ip IP --port 21845";
            }
            return "the system would not send on " + link;
        case TextId::Timeout:
            return "no answer on " + link +
                   ": check that the panel is on and connected, and the link (korvane-cli "
                   "settings shows the saved one)";
        case TextId::JumperForUpdate:
            return "programming needs the panel's jumper in the update position (korvane-cli "
                   "status then prints \"jumper 1\")";
        case TextId::JumperOff:
            return "set the panel's jumpers to 1-OFF, 2-OFF first (korvane-cli status shows "
                   "the position)";
        case TextId::NoUsbProgramming:
            return "programming and erase need the udp or serial link (--udp IP or "
                   "--serial DEVICE)";
        default:
            return {};
    }
}

bool Cli::Refuses(const InputCheck& check) {
    for (const std::string& r : check.refusals)
        out_.Problem((inv_.force ? "sent anyway (--force): " : "refused: ") + r);
    for (const std::string& w : check.warnings)
        out_.Problem("warning: " + w, MessageKind::Warning);
    if (!check.Refused() || inv_.force)
        return false;
    out_.Problem("nothing was sent; --force sends it anyway");
    out_.Verdict("RefusedInput", kRefusedInput);
    return true;
}

SettingsFile Cli::OpenSettings() {
    SettingsFile settings = inv_.settings_file
                                ? SettingsFile(*inv_.settings_file)
                                : SettingsFile::For(ProgramFiles::InFolder(env_.program_folder));
    // Read only: a missing file is the defaults, and only `settings` with a
    // change writes one.
    settings.record() = CommSettings::Defaults();
    settings.Reload();
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
    link_ = s;
    link.Configure(s);
}

int Cli::WithPanel(const std::function<void(PanelSession&, const SettingsFile&)>& body) {
    SettingsFile settings = OpenSettings();
    // A link given on the command line needs nothing of the file; without one
    // a broken file would only show up as a time-out with no frame sent.
    if (!inv_.mode) {
        if (const std::string why = settings.UnusableBecause(); !why.empty()) {
            return Problem(why + kChooseLink + ", or give --udp, --serial or --usb for this run",
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
    if (link.result() == LinkResult::IoError)
        ExplainTransferFailure(link);
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
            "\npermission denied: the udev rule of the korvane package opens /dev/korvane-usbN "
            "to the user at the seat once the panel's USB numbers are named in "
            "/etc/udev/rules.d (see /usr/lib/udev/rules.d/70-korvane.rules)";
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

void Cli::ExplainTransferFailure(LinkManager& link) {
    const DeviceError& e = link.transfer_error();
    if (e.kind == DeviceErrorKind::None)
        return;
    out_.Problem(e.text +
                 "\nthe device failed during the run, after it had opened: check its cable or "
                 "adapter (korvane-cli ports lists the devices present), then run again");
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
                     (where ? DisplayPath(*where) : std::string()) + ": " +
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
            shown.emplace(env_.err, 0, TerminalColumns());
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
    // The core starts quietly on an image it cannot open; say why first
    // (what is no regular file, or cannot be measured, among it).
    std::error_code ec = CheckMeasurable(image);
    const auto size = ec ? 0 : fs::file_size(image, ec);
    if (ec) {
        return Problem("cannot read the image " + DisplayPath(image) + ": " + ec.message(),
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
            shown.emplace(env_.err, size, TerminalColumns());
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
    if (kind->kind != ImageKind::Logo) {
        if (!inv_.options.empty())
            return Usage("flash " + name + " takes no option " + inv_.options.begin()->first);
        return Program(kind->kind, inv_.args[1]);
    }
    const auto target = ReadLogoTarget();
    if (const int* status = std::get_if<int>(&target))
        return *status;
    const auto logo = ConvertLogo(inv_.args[1], std::get<LogoTarget>(target));
    if (!logo)
        return static_cast<int>(LinkResult::FileError);
    return Program(ImageKind::Logo, *logo);
}

std::string Cli::ModelListProblem(const std::optional<fs::path>& file) {
    if (!file)
        return "no model list: this program has no folder of its own; give --models FILE";
    const std::string name = "the model list " + DisplayPath(*file);
    if (const std::error_code ec = CheckReadable(*file))
        return "cannot read " + name + ": " + ec.message();
    XmlDocument doc;
    if (!doc.LoadFile(*file)) {
        // The reader's outcome: the load summary, then the first parse error.
        std::string why = Utf16ToUtf8(doc.ResultText());
        if (const size_t comma = why.find(", ");
            comma != std::string::npos && why.find(" wide chars") < comma)
            why = why.substr(comma + 2);
        return name + " is not well-formed XML" + (why.empty() ? "" : ": " + why);
    }
    if (!doc.FindElement(u"ge"))
        return name + " has no root element \"ge\"";
    if (!doc.FindChildElement(u"HMI_Types"))
        return name + " has no \"HMI_Types\" element in its root \"ge\"";
    return "cannot read " + name;
}

namespace {

std::string FaultText(PanelModelFault fault, const PanelModel& model) {
    const std::string sides =
        " is not " + std::to_string(kScreenSideMin) + " to " + std::to_string(kScreenSideMax);
    switch (fault) {
        case PanelModelFault::BadWidth:
            return "width " + std::to_string(model.screen_width) + sides;
        case PanelModelFault::BadHeight:
            return "height " + std::to_string(model.screen_height) + sides;
        case PanelModelFault::EmptyName:
            return "no name";
        case PanelModelFault::ControlInName:
            return "a control character in its name";
        case PanelModelFault::DuplicateName:
            return "the name of an earlier model";
    }
    return "not usable";
}

}  // namespace

bool Cli::LoadModels(const fs::path& file, std::vector<PanelModel>& models) {
    std::vector<PanelModelRefusal> refused;
    const bool loaded = LoadPanelModels(file, models, &refused);
    for (const PanelModelRefusal& r : refused) {
        std::string why;
        for (const PanelModelFault f : r.faults)
            why += (why.empty() ? "" : "; ") + FaultText(f, r.model);
        // Quoted and escaped: the name may hold the very characters at fault.
        out_.Problem("warning: the model list " + file.string() + ": model " +
                         std::to_string(r.position) + " (" + JsonString(Utf16ToUtf8(r.model.name)) +
                         ") left out: " + why,
                     MessageKind::Warning);
    }
    return loaded;
}

std::optional<fs::path> Cli::ModelListFile() const {
    return inv_.models_file ? std::optional<fs::path>(*inv_.models_file)
                            : PanelModelsFileIn(ProgramFiles::InFolder(env_.program_folder));
}

std::variant<Cli::LogoTarget, int> Cli::ReadLogoTarget() {
    const bool has_model = inv_.options.count("--model");
    const bool has_screen = inv_.options.count("--screen");
    if (has_model == has_screen)
        return Usage("give either --model NAME or --screen WxH");
    LogoTarget target{0, 0, 0x00FFFFFFu};
    if (inv_.options.count("--background")) {
        const auto colour = ParseColour(inv_.options["--background"]);
        if (!colour) {
            return Usage("not a colour RRGGBB (six hex digits, red first): " +
                         inv_.options["--background"]);
        }
        target.background = *colour;
    }
    if (has_screen) {
        const auto size = ParseScreen(inv_.options["--screen"]);
        if (!size) {
            return Usage("not a screen size WxH (each side " + std::to_string(kScreenSideMin) +
                         " to " + std::to_string(kScreenSideMax) +
                         "): " + inv_.options["--screen"]);
        }
        target.width = size->first;
        target.height = size->second;
        return target;
    }
    const auto file = ModelListFile();
    std::vector<PanelModel> models;
    if (!file || !LoadModels(*file, models))
        return Problem(ModelListProblem(file), LinkResult::FileError);
    std::string names;
    for (const auto& m : models) {
        const std::string name = Utf16ToUtf8(m.name);
        if (name == inv_.options["--model"]) {
            target.width = m.screen_width;
            target.height = m.screen_height;
            return target;
        }
        names += (names.empty() ? "\"" : ", \"") + name + "\"";
    }
    return Usage("no model named \"" + inv_.options["--model"] + "\" in " + DisplayPath(*file) +
                 (names.empty() ? "; it lists no models" : "; the models are " + names));
}

int Cli::Models() {
    if (!NeedArgs(0, 0))
        return Usage("models takes no arguments");
    const auto file = ModelListFile();
    std::vector<PanelModel> models;
    if (!file || !LoadModels(*file, models))
        return Problem(ModelListProblem(file), LinkResult::FileError);
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

namespace {

// 384000 as "384,000".
std::string Grouped(int64_t n) {
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace

std::optional<fs::path> Cli::ConvertLogo(const fs::path& picture, const LogoTarget& target) {
    // Exits as an unreadable picture does (FileError): the command line itself is sound.
    if (!CanDecodePictures()) {
        Problem("logo conversion needs the Qt build of korvane-cli (configured with KORVANE_QT=ON)",
                LinkResult::FileError);
        return std::nullopt;
    }
    // The decoder says "not found" for any file it cannot open; the system
    // knows better.
    if (const std::error_code ec = CheckReadable(picture)) {
        Problem("cannot read the picture " + DisplayPath(picture) + ": " + ec.message(),
                LinkResult::FileError);
        return std::nullopt;
    }
    std::string error;
    const auto size = ReadPictureSize(picture, &error);
    if (!size) {
        Problem("cannot read the picture " + DisplayPath(picture) + ": " + error,
                LinkResult::FileError);
        return std::nullopt;
    }
    const std::string picture_size =
        std::to_string(size->width) + " x " + std::to_string(size->height);
    switch (CheckLogoPicture(size->width, size->height, target.width, target.height)) {
        case LogoPictureFit::LargerThanScreen:
            out_.Message(MessageKind::Error, Text(TextId::LogoLargerThanScreen),
                         TextId::LogoLargerThanScreen,
                         "the picture is " + picture_size + ", larger than the " +
                             std::to_string(target.width) + " x " + std::to_string(target.height) +
                             " screen: make it no larger than the screen");
            Finish(LinkResult::FileError);
            return std::nullopt;
        case LogoPictureFit::TooManyPixels:
            out_.Message(MessageKind::Error, Text(TextId::LogoTooManyPixels),
                         TextId::LogoTooManyPixels,
                         "the picture is " + picture_size + ", " +
                             Grouped(int64_t{size->width} * size->height) +
                             " pixels; a logo may have at most " + Grouped(kLogoMaxPixels) +
                             " pixels (e.g. 512 x 256 or 480 x 272): make it smaller");
            Finish(LinkResult::FileError);
            return std::nullopt;
        case LogoPictureFit::Fits:
            break;
    }
    const fs::path output = inv_.options.count("-o") ? fs::path(inv_.options["-o"]) : fs::path();
    const LogoWriteResult written =
        WriteLogoForPicture(picture, target.background, target.width, target.height, output);
    if (written.status == LogoWriteStatus::CannotCreate) {
        // The file is first made under a temporary name in the logo's folder.
        const std::string prefix =
            "cannot create a file beside " + DisplayPath(written.logo_path) + ": ";
        const std::string why = written.message.rfind(prefix, 0) == 0
                                    ? written.message.substr(prefix.size())
                                    : written.message;
        const fs::path folder = written.logo_path.parent_path().empty()
                                    ? fs::path(".")
                                    : written.logo_path.parent_path();
        Problem("cannot write the logo file " + DisplayPath(written.logo_path) +
                    ": no file can be created in " + DisplayPath(folder) + " (" + why +
                    "); name another place with -o FILE",
                LinkResult::FileError);
        return std::nullopt;
    }
    if (!written.ok()) {
        Problem(written.message, LinkResult::FileError);
        return std::nullopt;
    }
    return written.logo_path;
}

int Cli::Logo() {
    if (!NeedArgs(1, 1))
        return Usage("logo needs one PICTURE");
    const auto target = ReadLogoTarget();
    if (const int* status = std::get_if<int>(&target))
        return *status;
    const auto logo = ConvertLogo(inv_.args[0], std::get<LogoTarget>(target));
    if (!logo)
        return static_cast<int>(LinkResult::FileError);
    out_.Result(PathBytes(*logo), {{"logo", JsonString(DisplayPath(*logo))}});
    return Finish(LinkResult::Ok);
}

int Cli::Settings() {
    if (!NeedArgs(0, 0))
        return Usage("settings takes only options");
    SettingsFile settings = OpenSettings();
    if (!settings.path())
        return Problem("no settings file for this program", LinkResult::FileError);
    // A file that cannot serve is never shown as settings; a change starts
    // afresh from the defaults rather than keep its garbage.
    const std::string unusable = settings.UnusableBecause();
    if (!unusable.empty())
        settings.record() = CommSettings::Defaults();
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
    if (!unusable.empty() && !changed)
        return Problem(unusable + kChooseLink, LinkResult::FileError);
    if (!unusable.empty()) {
        const std::string fresh = "; writing a fresh file from the defaults and the values given";
        out_.Problem("warning: " + unusable + fresh, MessageKind::Warning);
    }
    if (changed) {
        r.baud = kDefaultBaud;
        if (!settings.Save()) {
            return Problem("cannot write " + DisplayPath(*settings.path()) + ": " +
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
    plain << "file " << PathBytes(*settings.path()) << "\nlink " << link << "\nip " << ip
          << "\nport " << r.port << "\ncom " << r.com << " (" << device_text << ")\nbaud "
          << r.baud;
    out_.Result(plain.str(), {{"file", JsonString(DisplayPath(*settings.path()))},
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
    const ProgramDoc& doc = CliDoc();
    if (inv_.version) {
        env_.out << VersionText("korvane-cli");
        return 0;
    }
    if (inv_.man || inv_.completion) {
        env_.out << (inv_.man ? ManPage(doc, ProjectVersion()) : BashCompletion(doc));
        return 0;
    }
    // "help COMMAND" is "COMMAND --help" ("help --help" describes help).
    if (inv_.command == "help" && !(inv_.help && inv_.args.empty())) {
        if (inv_.args.size() > 1)
            return Usage("help takes one COMMAND at most");
        inv_.help = true;
        inv_.command = inv_.args.empty() ? "" : inv_.args[0];
        inv_.args.clear();
    }
    if (inv_.command.empty()) {
        if (inv_.help) {
            env_.out << HelpText(doc);
            return 0;
        }
        return Usage("no command given");
    }
    const CommandDoc* command = FindCommand(doc, inv_.command);
    if (!command)
        return Usage("unknown command " + inv_.command);
    if (inv_.help) {
        env_.out << CommandHelpText(doc, *command);
        return 0;
    }
    for (const auto& [name, value] : inv_.options) {
        if (!FindOption(command->options, name))
            return Usage(inv_.command + " takes no option " + name);
        if (value.empty())
            return Usage(name + " needs " + FindOption(command->options, name)->value +
                         ", not an empty word");
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
    if (c == "discover") {
        return RunDiscover(inv_.args, inv_.options, inv_.quiet, out_, env_,
                           [this](const std::string& problem) { return Usage(problem); });
    }
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
        // Whether JSON was asked for, even of a line that did not parse.
        bool json = false;
        for (const std::string& a : args) {
            if (a == "--")
                break;
            json = json || a == "--json";
        }
        return ReportUsage(env, json, usage->text);
    }
    Cli cli(std::get<Invocation>(std::move(parsed)), env);
    return cli.Run();
}

}  // namespace korvane::cli
