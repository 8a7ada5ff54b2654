#include "cli/command_context.h"

#include "cli/cli_commands.h"
#include "link/device_error.h"
#include "protocol/panel_operations.h"
#include "system/program_files.h"

namespace korvane::cli {

namespace {

constexpr char kMore[] = "   (korvane-cli --help for more)\n";

}  // namespace

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

CommandContext::CommandContext(Invocation inv, CliEnvironment& env)
    : inv_(std::move(inv)),
      env_(env),
      out_(env.out, env.err, inv_.json, inv_.language.value_or(env.language)),
      sink_(out_, [this](TextId id) { return Hint(id); }) {}

int CommandContext::Finish(LinkResult r) {
    // Some failures the core leaves unexplained by design; the terminal
    // still gets one line saying why.
    if (r != LinkResult::Ok && !out_.said())
        out_.Problem(Unexplained(r));
    out_.Verdict(r);
    return static_cast<int>(r);
}

std::function<int()> CommandContext::TerminalColumns() {
    if (!width_)
        width_.emplace();
    return [this] { return width_->Columns(); };
}

std::string CommandContext::Unexplained(LinkResult r) {
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

std::string CommandContext::Hint(TextId id) const {
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

bool CommandContext::Refuses(const InputCheck& check) {
    // In English whatever --lang says: these lines are the tool's own
    // explanations, which scripts match.
    for (const InputReason& r : check.refusals) {
        out_.Problem((inv_.force ? "sent anyway (--force): " : "refused: ") +
                     r.Text(UiLanguage::English));
    }
    for (const InputReason& w : check.warnings)
        out_.Problem("warning: " + w.Text(UiLanguage::English), MessageKind::Warning);
    if (!check.Refused() || inv_.force)
        return false;
    out_.Problem("nothing was sent; --force sends it anyway");
    out_.Verdict("RefusedInput", kRefusedInput);
    return true;
}

SettingsFile CommandContext::OpenSettings() {
    SettingsFile settings = inv_.settings_file
                                ? SettingsFile(*inv_.settings_file)
                                : SettingsFile::For(ProgramFiles::InFolder(env_.program_folder));
    // Read only: a missing file is the defaults, and only `settings` with a
    // change writes one.
    settings.record() = CommSettings::Defaults();
    settings.Reload();
    return settings;
}

void CommandContext::ConfigureLink(LinkManager& link, const SettingsFile& settings) {
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

int CommandContext::WithPanel(const std::function<void(PanelSession&, const SettingsFile&)>& body) {
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
    PanelSession session(link, FrontEnd::Cli);
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

void CommandContext::ExplainOpenFailure(LinkManager& link) {
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

void CommandContext::ExplainTransferFailure(LinkManager& link) {
    const DeviceError& e = link.transfer_error();
    if (e.kind == DeviceErrorKind::None)
        return;
    out_.Problem(e.text +
                 "\nthe device failed during the run, after it had opened: check its cable or "
                 "adapter (korvane-cli ports lists the devices present), then run again");
}

}  // namespace korvane::cli
