#include "cli/discover_command.h"

#include <map>
#include <optional>
#include <ostream>
#include <variant>

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
    SearchLine(std::ostream& err, UiLanguage language)
        : err_(err),
          text_(language == UiLanguage::English ? "Looking for panels..." : kDiscoverProgressText) {
    }
    ~SearchLine() override {
        if (shown_ >= 0)
            err_ << "\r\033[K" << std::flush;
    }
    void MoveTo(int position) override {
        if (position == shown_)
            return;
        shown_ = position;
        err_ << "\r" << text_ << " " << position << "%\033[K" << std::flush;
    }

  private:
    std::ostream& err_;
    const char* text_;
    int shown_ = -1;
};

}  // namespace

std::variant<DiscoverOptions, int> ReadDiscoverOptions(
    CommandContext& c, const std::map<std::string, std::string>& options) {
    DiscoverOptions o;
    auto option = [&](const char* name) -> std::optional<std::string> {
        const auto it = options.find(name);
        return it == options.end() ? std::nullopt : std::optional(it->second);
    };
    const auto broadcast = option("--broadcast");
    const auto range = option("--range");
    if (broadcast && range)
        return c.Usage("give either --broadcast or --range, not both");
    if (broadcast) {
        const auto a = ParseHostDotted(*broadcast);
        if (!a)
            return c.Usage("not an IPv4 address: " + *broadcast);
        o.target = DiscoverOptions::Target::Broadcast;
        o.broadcast = *a;
    }
    if (range) {
        const auto r = ParseAddressRange(*range);
        if (!r) {
            return c.Usage("not an address range A-B (e.g. 192.168.0.1-254, at most " +
                           std::to_string(kSweepMaxAddresses) + " addresses): " + *range);
        }
        o.target = DiscoverOptions::Target::Range;
        o.range = *r;
    }
    if (const auto port = option("--port")) {
        const auto n = ParseNumber(*port, 1, 65535);
        if (!n)
            return c.Usage("not a port from 1 to 65535: " + *port);
        o.port = static_cast<uint16_t>(*n);
    }
    if (const auto wait = option("--wait")) {
        const auto n = ParseNumber(*wait, 0, 60000);
        if (!n)
            return c.Usage("not a listening time from 0 to 60000 ms: " + *wait);
        o.wait_ms = static_cast<uint32_t>(*n);
    }
    o.cancel = c.env().interrupt;
    return o;
}

namespace {

// A search that could not ask at all: its exit status after saying why.
std::optional<int> SearchFailure(CommandContext& c, const DiscoverOptions& o,
                                 const DiscoverResult& r) {
    Output& out = c.out();
    switch (r.outcome) {
        case DiscoverOutcome::NotABroadcast:
            return c.Usage(HostDotted(o.broadcast) +
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
    return std::nullopt;
}

void PrintPanel(Output& out, const FoundPanel& p) {
    const std::string address = HostDotted(p.address);
    std::string line =
        address + "  port " + std::to_string(p.port) + "  jumper " + std::to_string(p.jumper);
    if (!p.reported) {
        line += "  (its own address not read)";
    } else if (p.reported->IpText() != address || p.reported->port != p.port) {
        line += "  reports " + p.reported->IpText() + " port " + std::to_string(p.reported->port);
    }
    out.Result(line, {{"address", JsonString(address)},
                      {"port", std::to_string(p.port)},
                      {"jumper", std::to_string(p.jumper)},
                      {"reported_ip", p.reported ? JsonString(p.reported->IpText()) : "null"},
                      {"reported_port",
                       p.reported ? std::to_string(p.reported->port) : std::string("null")}});
}

// Exit status: 0 when a panel answered, 2 (Timeout) when none did, 8 when
// interrupted.
int Discover(CommandContext& c) {
    if (!c.inv().args.empty())
        return c.Usage("discover takes only options");
    const auto read = ReadDiscoverOptions(c, c.inv().options);
    if (const int* status = std::get_if<int>(&read))
        return *status;
    const DiscoverOptions& o = std::get<DiscoverOptions>(read);
    Output& out = c.out();
    const auto searched = SearchPanels(c, o);
    if (const int* status = std::get_if<int>(&searched))
        return *status;
    const DiscoverResult& r = std::get<DiscoverResult>(searched);
    for (const FoundPanel& p : r.panels)
        PrintPanel(out, p);
    if (r.outcome == DiscoverOutcome::Cancelled) {
        out.Problem("cancelled");
        out.Verdict(LinkResult::RunCancelled);
        return static_cast<int>(LinkResult::RunCancelled);
    }
    if (r.panels.empty())
        return NoPanelAnswered(c, o, r);
    if (r.panels.size() == 1 && !out.json()) {
        // What the user runs next to work with it.
        out.err() << "next: korvane-cli settings --link udp --ip "
                  << HostDotted(r.panels[0].address) << " --port " << r.panels[0].port << "\n";
    }
    out.Verdict(LinkResult::Ok);
    return 0;
}

}  // namespace

std::variant<DiscoverResult, int> SearchPanels(CommandContext& c, const DiscoverOptions& o) {
    Output& out = c.out();
    NullProgress silent;
    std::optional<SearchLine> shown;
    if (c.env().err_is_terminal && !c.inv().quiet && !out.json())
        shown.emplace(c.env().err, out.language());
    DiscoverResult r = DiscoverPanels(o, shown ? static_cast<ProgressSink&>(*shown) : silent);
    shown.reset();
    if (const auto failed = SearchFailure(c, o, r))
        return *failed;
    return r;
}

int NoPanelAnswered(CommandContext& c, const DiscoverOptions& o, const DiscoverResult& r) {
    c.out().Problem(NoneHint(o, r));
    c.out().Verdict(LinkResult::Timeout);
    return static_cast<int>(LinkResult::Timeout);
}

CliCommand DiscoverCommand() {
    return {{"discover",
             {"[--broadcast ADDR | --range A-B] [--port N] [--wait MS]"},
             "the panels on the network, one line each",
             "Finds the panels on the network: asks at the broadcast address of every interface\n"
             "(or only at ADDR, one of those), or at each address of a range such as\n"
             "192.168.0.1-254 (200 a second, for networks that drop broadcasts), on port N\n"
             "(default 21845), and listens MS milliseconds (default 1000). Prints one line per\n"
             "panel: the address it answered from, its port and jumper, and the address it\n"
             "reports when that differs. Exit status 0 when a panel answered, 2 when none did.",
             "korvane-cli discover --range 192.168.0.1-254",
             {{"--broadcast", "ADDR", "ask only at this interface broadcast address"},
              {"--range", "A-B", "ask each address from A to B (e.g. 192.168.0.1-254)"},
              {"--port", "N", "the panels' port (default 21845)"},
              {"--wait", "MS", "how long to listen for answers (default 1000)"}}},
            Discover};
}

}  // namespace korvane::cli
