#include "cli/settings_commands.h"

#include <sstream>

#include "cli/cli_args.h"
#include "link/serial_devices.h"
#include "link/usb_devices.h"
#include "system/display_path.h"

namespace korvane::cli {

namespace {

// The values the options give, written into the record; the usage error's
// exit status when one is wrong. `changed` says whether any was given.
std::optional<int> ApplySettingsOptions(CommandContext& c, CommSettings& r, bool& changed) {
    std::map<std::string, std::string>& options = c.inv().options;
    if (options.count("--link")) {
        const std::string& v = options["--link"];
        if (v == "udp")
            r.link_mode = 1;
        else if (v == "serial")
            r.link_mode = 2;
        else if (v == "usb")
            r.link_mode = 3;
        else
            return c.Usage("--link takes udp, serial or usb");
        changed = true;
    }
    if (options.count("--ip")) {
        const auto ip = ParseIpv4(options["--ip"]);
        if (!ip)
            return c.Usage("not an IPv4 address: " + options["--ip"]);
        r.address = *ip;
        changed = true;
    }
    if (options.count("--port")) {
        const auto port = ParseNumber(options["--port"], 1, 65535);
        if (!port)
            return c.Usage("not a port from 1 to 65535: " + options["--port"]);
        r.port = static_cast<uint16_t>(*port);
        changed = true;
    }
    if (options.count("--com")) {
        const auto com = ParseNumber(options["--com"], 1, 255);
        if (!com)
            return c.Usage("not a COM port number: " + options["--com"]);
        r.com = static_cast<uint16_t>(*com);
        changed = true;
    }
    return std::nullopt;
}

int ShowSettings(CommandContext& c, const SettingsFile& settings) {
    const CommSettings& r = settings.record();
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
    c.out().Result(plain.str(), {{"file", JsonString(DisplayPath(*settings.path()))},
                                 {"link", JsonString(link)},
                                 {"ip", JsonString(ip)},
                                 {"port", std::to_string(r.port)},
                                 {"com", std::to_string(r.com)},
                                 {"com_device", device ? JsonString(*device) : "null"},
                                 {"baud", std::to_string(r.baud)}});
    return c.Finish(LinkResult::Ok);
}

int Settings(CommandContext& c) {
    if (!c.NeedArgs(0, 0))
        return c.Usage("settings takes only options");
    SettingsFile settings = c.OpenSettings();
    if (!settings.path())
        return c.Problem("no settings file for this program", LinkResult::FileError);
    // A file that cannot serve is never shown as settings; a change starts
    // afresh from the defaults rather than keep its garbage.
    const std::string unusable = settings.UnusableBecause();
    if (!unusable.empty())
        settings.record() = CommSettings::Defaults();
    bool changed = false;
    CommSettings& r = settings.record();
    if (const auto usage = ApplySettingsOptions(c, r, changed))
        return *usage;
    if (!unusable.empty() && !changed)
        return c.Problem(unusable + kChooseLink, LinkResult::FileError);
    if (!unusable.empty()) {
        const std::string fresh = "; writing a fresh file from the defaults and the values given";
        c.out().Problem("warning: " + unusable + fresh, MessageKind::Warning);
    }
    if (changed) {
        r.baud = kDefaultBaud;
        if (!settings.Save()) {
            return c.Problem("cannot write " + DisplayPath(*settings.path()) + ": " +
                                 settings.write_error().message(),
                             LinkResult::FileError);
        }
    }
    return ShowSettings(c, settings);
}

int Ports(CommandContext& c) {
    if (!c.NeedArgs(0, 0))
        return c.Usage("ports takes no arguments");
    for (const ComPort& port : ListComPorts()) {
        const std::string com = "COM" + std::to_string(port.number);
        c.out().Result(com + "\t" + port.device,
                       {{"port", JsonString(com)}, {"device", JsonString(port.device)}});
    }
    for (const std::string& usb : ListUsbDevices())
        c.out().Result("USB\t" + usb, {{"port", JsonString("USB")}, {"device", JsonString(usb)}});
    return c.Finish(LinkResult::Ok);
}

}  // namespace

CliCommand SettingsCommand() {
    return {{"settings",
             {"[--link udp|serial|usb] [--ip IP] [--port N] [--com N]"},
             "",
             "Shows the saved communication settings, or changes and saves them. A settings "
             "file\n"
             "that cannot serve (empty, short, garbled, a folder) is named with its fix instead\n"
             "of being shown; a change over one writes a fresh file from the defaults and the\n"
             "values given.",
             "korvane-cli settings --link udp --ip 192.168.0.100 --port 21845",
             {{"--link", "udp|serial|usb", "the link to use", Complete::Words, "udp serial usb"},
              {"--ip", "IP", "the panel's address for the udp link"},
              {"--port", "N", "the panel's port for the udp link (1 to 65535)"},
              {"--com", "N", "the serial device: the n-th that ports lists (1 to 255)"}}},
            Settings};
}

CliCommand PortsCommand() {
    return {{"ports",
             {""},
             "serial devices as COM numbers name them, USB devices",
             "Lists the serial devices in the order that COM numbers name them (COM1 first),\n"
             "then the panel USB devices found.",
             "korvane-cli ports"},
            Ports};
}

}  // namespace korvane::cli
