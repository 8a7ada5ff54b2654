#include "protocol/panel_input_checks.h"

#include <array>
#include <chrono>

namespace korvane {

namespace {

using Octets = std::array<uint8_t, 4>;

uint32_t ToValue(const Octets& o) {
    return uint32_t{o[0]} << 24 | uint32_t{o[1]} << 16 | uint32_t{o[2]} << 8 | o[3];
}

Octets FromValue(uint32_t v) {
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

std::string Dotted(const Octets& o) {
    return std::to_string(o[0]) + "." + std::to_string(o[1]) + "." + std::to_string(o[2]) + "." +
           std::to_string(o[3]);
}

// Why no unicast datagram of ours could reach a panel at `address`; empty
// when one could.
std::string UnreachableBecause(uint32_t address) {
    if (address == 0)
        return "0.0.0.0 names no host";
    if (address == 0xFFFFFFFFu)
        return "255.255.255.255 is the broadcast address";
    if (address >> 24 == 127)
        return "127.x.x.x is this computer's own loopback network";
    if (address >= 0xE0000000u)
        return "addresses from 224.0.0.0 on are multicast or reserved";
    return {};
}

bool Contiguous(uint32_t mask) {
    // Ones from the top, then zeros: the inverted mask plus one is a power of two.
    const uint32_t inverted = ~mask;
    return (inverted & (inverted + 1)) == 0;
}

}  // namespace

InputCheck CheckPanelNetwork(const PanelNetworkRecord& record) {
    InputCheck check;
    const uint32_t address = ToValue(record.address);
    const uint32_t mask = ToValue(record.mask);
    const uint32_t gateway = ToValue(record.gateway);

    if (const std::string why = UnreachableBecause(address); !why.empty())
        check.refusals.push_back("panel address " + Dotted(record.address) + ": " + why);
    if (record.port == 0)
        check.refusals.push_back("panel port 0: no datagram can be sent to port 0");

    const bool mask_sound = mask != 0 && Contiguous(mask);
    if (!mask_sound) {
        check.refusals.push_back("subnet mask " + Dotted(record.mask) +
                                 ": a mask is one or more leading ones followed by zeros, "
                                 "e.g. 255.255.255.0");
    }
    if (mask_sound && check.refusals.empty() && ~mask > 1) {
        const uint32_t host = address & ~mask;
        if (host == 0 || host == ~mask) {
            check.refusals.push_back("panel address " + Dotted(record.address) + " is the " +
                                     (host == 0 ? "network" : "broadcast") +
                                     " address of its subnet (mask " + Dotted(record.mask) + ")");
        }
    }
    if (mask_sound && gateway != 0 && (gateway & mask) != (address & mask)) {
        check.warnings.push_back(
            "gateway " + Dotted(record.gateway) + " lies outside the panel's subnet " +
            Dotted(FromValue(address & mask)) + " (mask " + Dotted(record.mask) +
            "); the panel will not reach other networks through it");
    }
    return check;
}

InputCheck CheckPanelClock(const ClockValue& clock) {
    InputCheck check;
    using namespace std::chrono;
    const year_month_day date{year{clock.year}, month{static_cast<unsigned>(clock.month)},
                              day{static_cast<unsigned>(clock.day)}};
    const bool time_sound = clock.hour >= 0 && clock.hour < 24 && clock.minute >= 0 &&
                            clock.minute < 60 && clock.second >= 0 && clock.second < 60;
    if (clock.month < 1 || clock.day < 1 || !date.ok() || !time_sound) {
        check.refusals.push_back(clock.Text() + " is not a date and time of the calendar");
    } else if (clock.year < kFirstClockYear || clock.year > kLastClockYear) {
        check.refusals.push_back("year " + std::to_string(clock.year) + ": the panel keeps years " +
                                 std::to_string(kFirstClockYear) + " to " +
                                 std::to_string(kLastClockYear) +
                                 " and could not report another back");
    }
    return check;
}

}  // namespace korvane
