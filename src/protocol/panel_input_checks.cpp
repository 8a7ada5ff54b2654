#include "protocol/panel_input_checks.h"

#include <array>
#include <chrono>
#include <optional>

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

// Why no unicast datagram of ours could reach a panel at `address`; nothing
// when one could.
std::optional<TextId> UnreachableBecause(uint32_t address) {
    if (address == 0)
        return TextId::InputAddressNoHost;
    if (address == 0xFFFFFFFFu)
        return TextId::InputAddressBroadcast;
    if (address >> 24 == 127)
        return TextId::InputAddressLoopback;
    if (address >= 0xE0000000u)
        return TextId::InputAddressMulticast;
    return std::nullopt;
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

    const std::string dotted_address = Dotted(record.address);
    const std::string dotted_mask = Dotted(record.mask);
    if (const std::optional<TextId> why = UnreachableBecause(address))
        check.refusals.push_back({*why, {{"address", dotted_address}}});
    if (record.port == 0)
        check.refusals.push_back({TextId::InputPortZero, {}});

    const bool mask_sound = mask != 0 && Contiguous(mask);
    if (!mask_sound)
        check.refusals.push_back({TextId::InputMaskNotAMask, {{"mask", dotted_mask}}});
    if (mask_sound && check.refusals.empty() && ~mask > 1) {
        const uint32_t host = address & ~mask;
        if (host == 0 || host == ~mask) {
            check.refusals.push_back({host == 0 ? TextId::InputAddressIsSubnetNetwork
                                                : TextId::InputAddressIsSubnetBroadcast,
                                      {{"address", dotted_address}, {"mask", dotted_mask}}});
        }
    }
    if (mask_sound && gateway != 0 && (gateway & mask) != (address & mask)) {
        check.warnings.push_back({TextId::InputGatewayOutsideSubnet,
                                  {{"gateway", Dotted(record.gateway)},
                                   {"subnet", Dotted(FromValue(address & mask))},
                                   {"mask", dotted_mask}}});
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
        check.refusals.push_back({TextId::InputClockNotCalendar, {{"clock", clock.Text()}}});
    } else if (clock.year < kFirstClockYear || clock.year > kLastClockYear) {
        check.refusals.push_back({TextId::InputClockYearOutOfRange,
                                  {{"year", std::to_string(clock.year)},
                                   {"first", std::to_string(kFirstClockYear)},
                                   {"last", std::to_string(kLastClockYear)}}});
    }
    return check;
}

}  // namespace korvane
