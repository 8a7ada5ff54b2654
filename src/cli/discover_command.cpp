#include "cli/discover_command.h"

#include <optional>
#include <ostream>

#include "cli/cli_args.h"
#include "discovery/discover_panels.h"

namespace korvane::cli {

namespace {

std::string InterfaceList(const std::vector<InterfaceBroadcast>& interfaces) {
    std::string text;
    for (const InterfaceBroadcast& i : interfaces) {
        if (!text.empty())
            text += ", ";
        text +=
            i.name + " " + HostDotted(i.address) + " (broadcast " + HostDotted(i.broadcast) + ")";
    }
    return text.empty() ? "none" : text;
}

// Why nothing answered, and what to try next.
std::string NoneHint(const DiscoverOptions& o, const DiscoverResult& r) {
    const std::string port = std::to_string(o.port);
    if (o.target == DiscoverOptions::Target::Range) {
        return "no panel answered at " + HostDotted(o.range.first) + "-" +
               HostDotted(o.range.last) + " port " + port +
               "; check the cable and the port (--port, a new panel uses 21845), and that "
               "the range holds the panel's address";
    }
    return "no panel answered on " + InterfaceList(r.interfaces) + " at port " + port +
           "; a panel answers a broadcast only from an address in the interface's subnet "
           "(a new panel has 192.168.0.100/24): give this machine an address there, or "
           "sweep the panel's subnet with --range 192.168.0.1-254";
}

// "查找面板... 42%" redrawn in place on the terminal; the search says
// nothing else while it runs.
class SearchLine : public NullProgress {
  public:
    explicit SearchLine(std::ostream& err) : err_(err) {}
    ~SearchLine() override {
        if (shown_ >= 0)
            err_ << "\r\033[K" << std::flush;
    }
    void MoveTo(int position) override {
        if (position == shown_)
            return;
        shown_ = position;
        err_ << "\r" << kDiscoverProgressText << " " << position << "%\033[K" << std::flush;
    }

  private:
    std::ostream& err_;
    int shown_ = -1;
};

}  // namespace

int RunDiscover(const std::vector<std::string>& args,
                const std::map<std::string, std::string>& options, bool quiet, Output& out,
                CliEnvironment& env, const std::function<int(const std::string&)>& usage) {
    if (!args.empty())
        return usage("discover takes only options");
    DiscoverOptions o;
    auto option = [&](const char* name) -> std::optional<std::string> {
        const auto it = options.find(name);
        return it == options.end() ? std::nullopt : std::optional(it->second);
    };
    const auto broadcast = option("--broadcast");
    const auto range = option("--range");
    if (broadcast && range)
        return usage("give either --broadcast or --range, not both");
    if (broadcast) {
        const auto a = ParseHostDotted(*broadcast);
        if (!a)
            return usage("not an IPv4 address: " + *broadcast);
        o.target = DiscoverOptions::Target::Broadcast;
        o.broadcast = *a;
    }
    if (range) {
        const auto r = ParseAddressRange(*range);
        if (!r) {
            return usage("not an address range A-B (e.g. 192.168.0.1-254, at most " +
                         std::to_string(kSweepMaxAddresses) + " addresses): " + *range);
        }
        o.target = DiscoverOptions::Target::Range;
        o.range = *r;
    }
    if (const auto port = option("--port")) {
        const auto n = ParseNumber(*port, 1, 65535);
        if (!n)
            return usage("not a port from 1 to 65535: " + *port);
        o.port = static_cast<uint16_t>(*n);
    }
    if (const auto wait = option("--wait")) {
        const auto n = ParseNumber(*wait, 0, 60000);
        if (!n)
            return usage("not a listening time from 0 to 60000 ms: " + *wait);
        o.wait_ms = static_cast<uint32_t>(*n);
    }
    o.cancel = env.interrupt;

    NullProgress silent;
    std::optional<SearchLine> shown;
    if (env.err_is_terminal && !quiet && !out.json())
        shown.emplace(env.err);
    const DiscoverResult r = DiscoverPanels(o, shown ? static_cast<ProgressSink&>(*shown) : silent);
    shown.reset();

    switch (r.outcome) {
        case DiscoverOutcome::NotABroadcast:
            return usage(HostDotted(o.broadcast) +
                         " is not the broadcast address of an interface here; they are: " +
                         InterfaceList(ListBroadcastInterfaces()));
        case DiscoverOutcome::NoInterfaces:
            out.Problem(
                "no network interface with a broadcast address is up; sweep the panel's "
                "subnet with --range A-B");
            out.Verdict(LinkResult::NetworkError);
            return static_cast<int>(LinkResult::NetworkError);
        case DiscoverOutcome::SocketFailed:
            out.Problem("cannot open a socket to look for panels: " + r.error);
            out.Verdict(LinkResult::OpenFailed);
            return static_cast<int>(LinkResult::OpenFailed);
        case DiscoverOutcome::BadRange:
        case DiscoverOutcome::Done:
        case DiscoverOutcome::Cancelled:
            break;
    }

    for (const FoundPanel& p : r.panels) {
        const std::string address = HostDotted(p.address);
        std::string line =
            address + "  port " + std::to_string(p.port) + "  jumper " + std::to_string(p.jumper);
        if (!p.reported) {
            line += "  (its own address not read)";
        } else if (p.reported->IpText() != address || p.reported->port != p.port) {
            line +=
                "  reports " + p.reported->IpText() + " port " + std::to_string(p.reported->port);
        }
        out.Result(line, {{"address", JsonString(address)},
                          {"port", std::to_string(p.port)},
                          {"jumper", std::to_string(p.jumper)},
                          {"reported_ip", p.reported ? JsonString(p.reported->IpText()) : "null"},
                          {"reported_port",
                           p.reported ? std::to_string(p.reported->port) : std::string("null")}});
    }
    if (r.outcome == DiscoverOutcome::Cancelled) {
        out.Problem("cancelled");
        out.Verdict(LinkResult::RunCancelled);
        return static_cast<int>(LinkResult::RunCancelled);
    }
    if (r.panels.empty()) {
        out.Problem(NoneHint(o, r));
        out.Verdict(LinkResult::Timeout);
        return static_cast<int>(LinkResult::Timeout);
    }
    if (r.panels.size() == 1 && !out.json()) {
        // What the user runs next to work with it.
        out.err() << "next: korvane-cli settings --link udp --ip "
                  << HostDotted(r.panels[0].address) << " --port " << r.panels[0].port << "\n";
    }
    out.Verdict(LinkResult::Ok);
    return 0;
}

}  // namespace korvane::cli
