#include "widgets/batch_targets.h"

#include <algorithm>
#include <charconv>

#include "discovery/discover_panels.h"

namespace korvane {

namespace {

// LinkSettings keep the first octet in the low byte.
uint32_t LinkOrder(uint32_t host) {
    return (host >> 24) | (host >> 8 & 0xFF00) | (host << 8 & 0xFF0000) | host << 24;
}

LinkSettings Udp(uint32_t host, uint16_t port) {
    LinkSettings s;
    s.mode = LinkMode::Udp;
    s.address = LinkOrder(host);
    s.port = port;
    return s;
}

LinkSettings Serial(std::string_view device) {
    LinkSettings s;
    s.mode = LinkMode::Serial;
    s.baud = kDefaultBaud;
    // COMn names the port by number, as the settings do; anything else is a
    // device path used as it is.
    unsigned com = 0;
    const bool numbered =
        device.size() > 3 && (device.substr(0, 3) == "COM" || device.substr(0, 3) == "com") &&
        std::from_chars(device.data() + 3, device.data() + device.size(), com).ptr ==
            device.data() + device.size() &&
        com >= 1 && com <= 255;
    if (numbered)
        s.com = static_cast<uint16_t>(com);
    else
        s.serial_device = std::string(device);
    return s;
}

void ReadEntry(std::string_view entry, uint16_t port, BatchEntries& out) {
    if (entry.front() == '/' || entry.substr(0, 3) == "COM" || entry.substr(0, 3) == "com") {
        out.targets.push_back(Serial(entry));
        return;
    }
    if (entry.find('-') != std::string_view::npos) {
        const auto range = ParseAddressRange(entry);
        if (!range || range->Count() > kMaxBatchRange) {
            out.problems.push_back({std::string(entry), BatchEntryFault::BadRange});
            return;
        }
        for (uint64_t a = range->first; a <= range->last; ++a)
            out.targets.push_back(Udp(static_cast<uint32_t>(a), port));
        return;
    }
    const size_t colon = entry.find(':');
    const auto address = ParseHostDotted(entry.substr(0, colon));
    if (!address) {
        out.problems.push_back({std::string(entry), BatchEntryFault::NotAnAddress});
        return;
    }
    if (colon != std::string_view::npos) {
        const std::string_view digits = entry.substr(colon + 1);
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
            value < 1 || value > 65535) {
            out.problems.push_back({std::string(entry), BatchEntryFault::BadPort});
            return;
        }
        port = static_cast<uint16_t>(value);
    }
    out.targets.push_back(Udp(*address, port));
}

}  // namespace

BatchEntries ParseBatchEntries(std::string_view text, uint16_t port) {
    BatchEntries out;
    constexpr std::string_view kBreaks = " \t\r\n,;";
    size_t at = 0;
    while (at < text.size()) {
        const size_t start = text.find_first_not_of(kBreaks, at);
        if (start == std::string_view::npos)
            break;
        const size_t end = std::min(text.find_first_of(kBreaks, start), text.size());
        ReadEntry(text.substr(start, end - start), port, out);
        at = end;
    }
    return out;
}

}  // namespace korvane
