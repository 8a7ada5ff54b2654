#pragma once
// Finding the panels on the network: query-state to the broadcast address of
// every interface (or of one, or unicast to each address of a range, paced),
// then get-parameter item 1 to each panel that answered.
// Only the interfaces' own broadcast addresses or the range asked for are
// ever sent to, each address at most once per round; replies from anywhere
// else are ignored.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "discovery/broadcast_socket.h"
#include "link/message_sink.h"
#include "protocol/panel_operations.h"

namespace korvane {

inline constexpr uint32_t kDiscoverWaitMs = 1000;
inline constexpr uint32_t kSweepRatePerSecond = 200;
// A sweep longer than this would take minutes at the default rate.
inline constexpr uint32_t kSweepMaxAddresses = 4096;
inline constexpr char kDiscoverProgressText[] = "查找面板...";

// Host-order address (192.168.0.1 is 0xC0A80001) to dotted text and back;
// the parser takes four decimal octets and nothing else.
std::string HostDotted(uint32_t address);
std::optional<uint32_t> ParseHostDotted(std::string_view text);

struct AddressRange {
    uint32_t first = 0;
    uint32_t last = 0;
    uint64_t Count() const { return uint64_t{last} - first + 1; }
    bool Contains(uint32_t a) const { return a >= first && a <= last; }
};

// "192.168.0.1-192.168.0.254" or "192.168.0.1-254" (the last octet only).
// Nothing when either side is no address, the range runs backwards or is
// longer than kSweepMaxAddresses.
std::optional<AddressRange> ParseAddressRange(std::string_view text);

struct DiscoverOptions {
    enum class Target { Interfaces, Broadcast, Range };
    Target target = Target::Interfaces;
    uint32_t broadcast = 0;  // Broadcast: must be one of the interfaces' own
    AddressRange range;      // Range
    uint16_t port = 21845;
    uint32_t wait_ms = kDiscoverWaitMs;  // listening time after the last query
    uint32_t rate_per_s = kSweepRatePerSecond;
    // Set from elsewhere to stop; looked at every few tens of milliseconds.
    const std::atomic<bool>* cancel = nullptr;
};

struct FoundPanel {
    uint32_t address = 0;  // where the reply came from
    uint16_t port = 0;
    uint8_t jumper = 0;
    // What the panel says its address and port are; empty when it did not
    // answer get-parameter.
    std::optional<PanelAddress> reported;
    bool operator==(const FoundPanel&) const = default;
};

enum class DiscoverOutcome {
    Done,           // the panels are those that answered (maybe none)
    Cancelled,      // the panels that had answered by then
    NoInterfaces,   // no interface with a broadcast address is up
    NotABroadcast,  // the address given is no interface's broadcast address
    BadRange,       // backwards, or longer than kSweepMaxAddresses
    SocketFailed,
};

struct DiscoverResult {
    DiscoverOutcome outcome = DiscoverOutcome::Done;
    std::vector<FoundPanel> panels;  // sorted by address, one per address
    // Broadcast: the interfaces asked.
    std::vector<InterfaceBroadcast> interfaces;
    uint32_t queries_sent = 0;
    uint32_t replies_ignored = 0;  // from outside what was asked, or malformed
    std::string error;             // SocketFailed: why
};

// Blocks for about the sending time plus the listening time; progress goes
// to `progress` (span 0 to 100).
DiscoverResult DiscoverPanels(const DiscoverOptions& options, ProgressSink& progress);

}  // namespace korvane
