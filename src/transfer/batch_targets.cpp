#include "transfer/batch_targets.h"

#include <algorithm>
#include <charconv>

#include "discovery/discover_panels.h"

namespace korvane {

namespace {

bool StartsWithCom(std::string_view text) {
    return text.substr(0, 3) == "COM" || text.substr(0, 3) == "com";
}

void ReadEntry(std::string_view entry, uint16_t port, BatchEntries& out) {
    if (NamesSerialDevice(entry)) {
        out.targets.push_back(SerialBatchTarget(entry));
        return;
    }
    if (entry.find('-') != std::string_view::npos) {
        const auto range = ParseAddressRange(entry);
        if (!range || range->Count() > kMaxBatchRange) {
            out.problems.push_back({std::string(entry), BatchEntryFault::BadRange});
            return;
        }
        for (uint64_t a = range->first; a <= range->last; ++a)
            out.targets.push_back(UdpBatchTarget(static_cast<uint32_t>(a), port));
        return;
    }
    const auto target = ReadUdpBatchTarget(entry, port);
    if (const auto* fault = std::get_if<BatchEntryFault>(&target))
        out.problems.push_back({std::string(entry), *fault});
    else
        out.targets.push_back(std::get<LinkSettings>(target));
}

}  // namespace

LinkSettings UdpBatchTarget(uint32_t host, uint16_t port) {
    LinkSettings s;
    s.mode = LinkMode::Udp;
    // LinkSettings keep the first octet in the low byte.
    s.address = (host >> 24) | (host >> 8 & 0xFF00) | (host << 8 & 0xFF0000) | host << 24;
    s.port = port;
    return s;
}

LinkSettings SerialBatchTarget(std::string_view device) {
    LinkSettings s;
    s.mode = LinkMode::Serial;
    s.baud = kDefaultBaud;
    unsigned com = 0;
    const bool numbered =
        device.size() > 3 && StartsWithCom(device) &&
        std::from_chars(device.data() + 3, device.data() + device.size(), com).ptr ==
            device.data() + device.size() &&
        com >= 1 && com <= 255;
    if (numbered)
        s.com = static_cast<uint16_t>(com);
    else
        s.serial_device = std::string(device);
    return s;
}

bool NamesSerialDevice(std::string_view entry) {
    return !entry.empty() && (entry.front() == '/' || StartsWithCom(entry));
}

std::variant<LinkSettings, BatchEntryFault> ReadUdpBatchTarget(std::string_view entry,
                                                               uint16_t port) {
    const size_t colon = entry.find(':');
    const auto address = ParseHostDotted(entry.substr(0, colon));
    if (!address)
        return BatchEntryFault::NotAnAddress;
    if (colon != std::string_view::npos) {
        const std::string_view digits = entry.substr(colon + 1);
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
            value < 1 || value > 65535)
            return BatchEntryFault::BadPort;
        port = static_cast<uint16_t>(value);
    }
    return UdpBatchTarget(*address, port);
}

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
