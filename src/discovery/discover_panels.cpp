#include "discovery/discover_panels.h"

#include <algorithm>
#include <chrono>
#include <map>

#include "link/frame.h"
#include "protocol/command_codes.h"
#include "protocol/requests.h"
#include "system/number_text.h"

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Waits are cut into slices this long so that a cancel is seen quickly.
constexpr uint32_t kSliceMs = 50;
// Get-parameter rounds: each asks the panels that have not answered yet.
constexpr int kParameterRounds = 3;
constexpr uint32_t kParameterRoundMs = 400;
// The reply bytes that must be there: query-state up to its jumper byte,
// get-parameter up to its port.
constexpr size_t kQueryReplyMin = reply_offset::kJumper + 2;
constexpr size_t kParameterReplyMin = reply_offset::kPort + 3;

bool Cancelled(const DiscoverOptions& o) {
    return o.cancel && o.cancel->load();
}

struct Asked {
    std::vector<uint32_t> targets;  // where the queries go, in order
    // Which sender addresses may answer.
    std::optional<AddressRange> range;
    std::vector<InterfaceBroadcast> subnets;

    bool Allows(uint32_t from) const {
        if (range)
            return range->Contains(from);
        return std::any_of(subnets.begin(), subnets.end(), [&](const InterfaceBroadcast& i) {
            return (from & i.mask) == (i.address & i.mask);
        });
    }
};

// A datagram received, with where it came from.
struct Reply {
    uint32_t address = 0;
    uint16_t port = 0;
    FrameBuffer frame{};
    size_t length = 0;
};

// Takes replies off the socket, keeping only well-formed ones from addresses
// that were asked; the others are counted as ignored.
class ReplyReader {
  public:
    ReplyReader(DiscoverySocket& socket, const Asked& asked, DiscoverResult& result)
        : socket_(socket), asked_(asked), result_(result) {}

    // Waits up to `ms` for one datagram; true with `out` filled when it is a
    // reply to `command` that counts.
    bool Take(uint8_t command, size_t min_length, uint32_t ms, Reply& out) {
        if (socket_.WaitReadable(ms) != DiscoverySocket::Wait::Readable)
            return false;
        out.frame.fill(0);
        const long n =
            socket_.ReceiveFrom(out.frame.data(), out.frame.size(), out.address, out.port);
        if (n <= 0)
            return false;
        out.length = static_cast<size_t>(n);
        const bool good = asked_.Allows(out.address) && ValidateReply(out.frame, out.length) &&
                          EchoesCommand(out.frame, command) &&
                          ReadBe16(&out.frame[frame_offset::kLength]) >= min_length;
        if (!good)
            ++result_.replies_ignored;
        return good;
    }

  private:
    DiscoverySocket& socket_;
    const Asked& asked_;
    DiscoverResult& result_;
};

uint32_t MsUntil(Clock::time_point t) {
    const auto left = std::chrono::duration_cast<milliseconds>(t - Clock::now()).count();
    return left <= 0 ? 0u : static_cast<uint32_t>(left);
}

}  // namespace

std::string HostDotted(uint32_t a) {
    return std::to_string(a >> 24) + "." + std::to_string(a >> 16 & 0xFF) + "." +
           std::to_string(a >> 8 & 0xFF) + "." + std::to_string(a & 0xFF);
}

std::optional<uint32_t> ParseHostDotted(std::string_view text) {
    return ParseDottedQuad(text);
}

std::optional<AddressRange> ParseAddressRange(std::string_view text) {
    const size_t dash = text.find('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    const auto first = ParseHostDotted(text.substr(0, dash));
    if (!first)
        return std::nullopt;
    const std::string_view tail = text.substr(dash + 1);
    std::optional<uint32_t> last;
    if (tail.find('.') == std::string_view::npos) {
        // The last octet only: "192.168.0.1-254".
        const auto octet = ParseHostDotted("0.0.0." + std::string(tail));
        if (octet)
            last = (*first & 0xFFFFFF00u) | *octet;
    } else {
        last = ParseHostDotted(tail);
    }
    if (!last || *last < *first)
        return std::nullopt;
    const AddressRange r{*first, *last};
    if (r.Count() > kSweepMaxAddresses)
        return std::nullopt;
    return r;
}

DiscoverResult DiscoverPanels(const DiscoverOptions& o, ProgressSink& progress) {
    DiscoverResult result;
    Asked asked;
    const bool sweep = o.target == DiscoverOptions::Target::Range;
    if (sweep) {
        if (o.range.last < o.range.first || o.range.Count() > kSweepMaxAddresses) {
            result.outcome = DiscoverOutcome::BadRange;
            return result;
        }
        asked.range = o.range;
        for (uint64_t a = o.range.first; a <= o.range.last; ++a)
            asked.targets.push_back(static_cast<uint32_t>(a));
    } else {
        for (const InterfaceBroadcast& i : ListBroadcastInterfaces()) {
            if (o.target == DiscoverOptions::Target::Broadcast && i.broadcast != o.broadcast)
                continue;
            asked.subnets.push_back(i);
            // Two addresses on one network share a broadcast address: ask once.
            if (std::find(asked.targets.begin(), asked.targets.end(), i.broadcast) ==
                asked.targets.end())
                asked.targets.push_back(i.broadcast);
        }
        result.interfaces = asked.subnets;
        if (asked.targets.empty()) {
            result.outcome = o.target == DiscoverOptions::Target::Broadcast
                                 ? DiscoverOutcome::NotABroadcast
                                 : DiscoverOutcome::NoInterfaces;
            return result;
        }
    }

    DiscoverySocket socket;
    // The sweep's socket has no broadcast permission: an address of the
    // range that is a network's broadcast address is then refused by the
    // system instead of reaching every host there.
    if (!socket.Open(!sweep)) {
        result.outcome = DiscoverOutcome::SocketFailed;
        result.error = socket.error();
        return result;
    }

    progress.SetSpan(0, 100);
    progress.SetText(kDiscoverProgressText);
    progress.ShowText(true);
    progress.MoveTo(0);

    const uint32_t rate = std::max<uint32_t>(1, o.rate_per_s);
    const auto gap = std::chrono::microseconds(1'000'000 / rate);
    const auto start = Clock::now();
    const auto planned = gap * asked.targets.size() + milliseconds(o.wait_ms);
    auto show = [&](int lo, int hi, Clock::time_point from, Clock::duration span) {
        const double done = span.count() > 0
                                ? static_cast<double>((Clock::now() - from).count()) / span.count()
                                : 1.0;
        progress.MoveTo(lo + static_cast<int>((hi - lo) * std::clamp(done, 0.0, 1.0)));
    };

    ReplyReader replies(socket, asked, result);
    std::map<uint32_t, FoundPanel> found;
    Reply reply;
    auto take_queries = [&](uint32_t ms) {
        if (replies.Take(cmd::kQueryState, kQueryReplyMin, ms, reply)) {
            // A panel that answers twice (a repeated datagram, two
            // broadcast addresses) is listed once.
            FoundPanel& p = found[reply.address];
            p.address = reply.address;
            p.port = reply.port;
            p.jumper = reply.frame[reply_offset::kJumper];
        }
    };

    // Queries, paced; replies are taken while waiting for the next one's turn.
    FrameBuffer request{};
    const uint16_t query_length = BuildQueryState(request);
    for (size_t i = 0; i < asked.targets.size() && !Cancelled(o); ++i) {
        const auto due = start + gap * i;
        while (Clock::now() < due && !Cancelled(o))
            take_queries(std::min(kSliceMs, std::max<uint32_t>(1, MsUntil(due))));
        if (Cancelled(o))
            break;
        if (socket.SendTo(asked.targets[i], o.port, request.data(), query_length))
            ++result.queries_sent;
        if (i % 16 == 0)
            show(0, 90, start, planned);
    }
    const auto listen_end = Clock::now() + milliseconds(o.wait_ms);
    while (!Cancelled(o) && Clock::now() < listen_end) {
        take_queries(std::min(kSliceMs, std::max<uint32_t>(1, MsUntil(listen_end))));
        show(0, 90, start, planned);
    }

    // Each panel found is asked its own address and port, again paced.
    const uint16_t parameter_length = BuildGetParameter(request, cmd::kItemAddress);
    for (int round = 0; round < kParameterRounds && !Cancelled(o); ++round) {
        std::vector<uint32_t> pending;
        for (const auto& [address, panel] : found) {
            if (!panel.reported)
                pending.push_back(address);
        }
        if (pending.empty())
            break;
        const auto round_start = Clock::now();
        size_t sent = 0;
        size_t answered = 0;
        const auto round_end = round_start + gap * pending.size() + milliseconds(kParameterRoundMs);
        while (!Cancelled(o) && Clock::now() < round_end && answered < pending.size()) {
            if (sent < pending.size() && Clock::now() >= round_start + gap * sent) {
                const FoundPanel& p = found[pending[sent]];
                socket.SendTo(p.address, p.port, request.data(), parameter_length);
                ++sent;
                continue;
            }
            const auto next = sent < pending.size() ? round_start + gap * sent : round_end;
            if (!replies.Take(cmd::kGetParameter, kParameterReplyMin,
                              std::min(kSliceMs, std::max<uint32_t>(1, MsUntil(next))), reply))
                continue;
            const auto it = found.find(reply.address);
            if (it == found.end() || it->second.reported || reply.frame[frame_offset::kStatus] != 1)
                continue;
            PanelAddress a;
            for (size_t k = 0; k < 4; ++k)
                a.ip[k] = reply.frame[reply_offset::kAddress + k];
            a.port = static_cast<uint16_t>(reply.frame[reply_offset::kPort] |
                                           reply.frame[reply_offset::kPort + 1] << 8);
            it->second.reported = a;
            ++answered;
        }
        progress.MoveTo(90 + 10 * (round + 1) / kParameterRounds);
    }

    for (auto& [address, panel] : found)
        result.panels.push_back(panel);  // the map keeps them sorted by address
    if (Cancelled(o)) {
        result.outcome = DiscoverOutcome::Cancelled;
    } else {
        progress.MoveTo(100);
    }
    return result;
}

}  // namespace korvane
