#include "cli/panel_commands.h"

#include <chrono>

#include "cli/cli_args.h"
#include "protocol/panel_operations.h"
#include "system/display_path.h"

namespace korvane::cli {

namespace {

int Status(CommandContext& c) {
    if (!c.NeedArgs(0, 0))
        return c.Usage("status takes no arguments");
    return c.WithPanel([&](PanelSession& s, const SettingsFile&) {
        if (auto jumper = QueryPanelState(s)) {
            c.out().Result("jumper " + std::to_string(*jumper),
                           {{"jumper", std::to_string(*jumper)}});
        }
    });
}

int GetIp(CommandContext& c) {
    if (!c.NeedArgs(0, 0))
        return c.Usage("get-ip takes no arguments");
    return c.WithPanel([&](PanelSession& s, const SettingsFile&) {
        if (auto a = GetPanelAddress(s)) {
            c.out().Result(a->IpText() + " " + std::to_string(a->port),
                           {{"ip", JsonString(a->IpText())}, {"port", std::to_string(a->port)}});
        }
    });
}

int SetIp(CommandContext& c) {
    if (!c.NeedArgs(2, 2))
        return c.Usage("set-ip needs IP and PORT");
    Invocation& inv = c.inv();
    NetworkTexts values;
    values.ip = inv.args[0];
    values.port = inv.args[1];
    if (inv.options.count("--gateway"))
        values.gateway = inv.options["--gateway"];
    if (inv.options.count("--mask"))
        values.mask = inv.options["--mask"];
    for (const auto* text : {&values.ip, &values.gateway, &values.mask}) {
        if (!ParseIpv4(*text))
            return c.Usage("not an IPv4 address: " + *text);
    }
    if (!ParseNumber(values.port, 1, 65535))
        return c.Usage("not a port from 1 to 65535: " + values.port);
    if (c.Refuses(CheckPanelNetwork(values.ToRecord())))
        return kRefusedInput;
    return c.WithPanel([&](PanelSession& s, const SettingsFile& settings) {
        if (SetPanelAddress(s, values, &settings) || s.result() != LinkResult::FileError)
            return;
        // The core stops without a word when the record cannot be saved.
        const auto where = settings.PanelNetworkPath();
        c.out().Problem("cannot write the panel network record " +
                        (where ? DisplayPath(*where) : std::string()) + ": " +
                        settings.write_error().message() + "; nothing was sent to the panel");
    });
}

int GetClock(CommandContext& c) {
    if (!c.NeedArgs(0, 0))
        return c.Usage("get-clock takes no arguments");
    return c.WithPanel([&](PanelSession& s, const SettingsFile&) {
        if (auto clock = GetPanelClock(s, nullptr, nullptr))
            c.out().Result(clock->Text(), {{"clock", JsonString(clock->Text())}});
    });
}

int SetClock(CommandContext& c) {
    const std::vector<std::string>& args = c.inv().args;
    ClockValue when = LocalNow();
    if (args.size() == 1 || args.size() == 2) {
        std::string text = args[0];
        if (args.size() == 2)
            text += " " + args[1];
        const auto parsed = ParseClock(text);
        if (!parsed)
            return c.Usage("not a date and time \"YYYY-MM-DD HH:MM:SS\": " + text);
        when = *parsed;
    } else if (!args.empty()) {
        return c.Usage("set-clock takes one date and time");
    }
    if (c.Refuses(CheckPanelClock(when)))
        return kRefusedInput;
    return c.WithPanel([&](PanelSession& s, const SettingsFile&) {
        if (SetPanelClock(s, when, nullptr, nullptr))
            c.out().Result(when.Text(), {{"clock", JsonString(when.Text())}});
    });
}

int EnterDownload(CommandContext& c) {
    if (!c.NeedArgs(0, 0))
        return c.Usage("enter-download takes no arguments");
    return c.WithPanel([](PanelSession& s, const SettingsFile&) { RunEnterDownload(s); });
}

int EndDownload(CommandContext& c) {
    if (!c.NeedArgs(0, 0))
        return c.Usage("end-download takes no arguments");
    return c.WithPanel([&](PanelSession& s, const SettingsFile&) {
        if (!RunEndDownload(s) && s.result() == LinkResult::PanelRefused && s.Jumper() != 1 &&
            s.Jumper() != 2) {
            c.out().Problem("end-download needs the jumper in position 2; the panel reports " +
                            std::to_string(s.Jumper()));
        }
    });
}

int ChangeMacAddress(CommandContext& c) {
    if (!c.NeedArgs(0, 0))
        return c.Usage("change-mac takes no arguments");
    return c.WithPanel([](PanelSession& s, const SettingsFile&) {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        ChangeMac(s, static_cast<uint64_t>(
                         std::chrono::duration_cast<std::chrono::seconds>(now).count()));
    });
}

}  // namespace

CliCommand StatusCommand() {
    return {{"status",
             {""},
             "query-state; prints \"jumper <n>\"",
             "Asks the panel for its state and prints the jumper position (1 update, 2 normal).",
             "korvane-cli --udp 192.168.0.100 status"},
            Status};
}

CliCommand GetIpCommand() {
    return {{"get-ip",
             {""},
             "prints \"<ip> <port>\"",
             "Reads the panel's IP address and port.",
             "korvane-cli get-ip"},
            GetIp};
}

CliCommand SetIpCommand() {
    return {{"set-ip",
             {"IP PORT [--gateway G] [--mask M]"},
             "",
             "Sets the panel's address, port, gateway (default 192.168.0.1) and mask\n"
             "(default 255.255.255.0). The values are also saved as the panel network record.\n"
             "An address no one could reach (0.0.0.0, 255.255.255.255, 127.x, 224.0.0.0 and\n"
             "above) or a mask that is no mask is refused unless --force; a gateway outside\n"
             "the new subnet is sent with a warning.",
             "korvane-cli set-ip 192.168.0.120 21845 --gateway 192.168.0.1",
             {{"--gateway", "G", "the panel's gateway (default 192.168.0.1)"},
              {"--mask", "M", "the panel's subnet mask (default 255.255.255.0)"}}},
            SetIp};
}

CliCommand GetClockCommand() {
    return {{"get-clock",
             {""},
             "prints \"YYYY-MM-DD HH:MM:SS\"",
             "Reads the panel's clock.",
             "korvane-cli get-clock"},
            GetClock};
}

CliCommand SetClockCommand() {
    return {{"set-clock",
             {"[YYYY-MM-DD HH:MM:SS]"},
             "default: now; years 2000 to 2099",
             "Sets the panel's clock; without a value, to now. The panel keeps the years 2000\n"
             "to 2099 and reports those back; another year is refused unless --force.",
             "korvane-cli set-clock \"2026-12-07 08:30:00\""},
            SetClock};
}

CliCommand EnterDownloadCommand() {
    return {{"enter-download",
             {""},
             "switches the panel into download mode",
             "Switches the panel into download mode and runs the version handshake.",
             "korvane-cli enter-download"},
            EnterDownload};
}

CliCommand EndDownloadCommand() {
    return {{"end-download",
             {""},
             "takes the panel out of download mode",
             "Takes the panel out of download mode.",
             "korvane-cli end-download"},
            EndDownload};
}

CliCommand ChangeMacCommand() {
    return {{"change-mac",
             {""},
             "gives the panel a new MAC address",
             "Gives the panel a newly generated MAC address (prefix 00-4F-9A).",
             "korvane-cli change-mac"},
            ChangeMacAddress};
}

}  // namespace korvane::cli
