#include "settings/settings_record.h"

#include <algorithm>
#include <string>

#include "link/serial_config.h"
#include "system/little_endian.h"
#include "system/number_text.h"

namespace korvane {

CommSettings CommSettings::Defaults() {
    CommSettings s;
    s.link_mode = 1;
    s.address = ParseDottedLoose("255.255.255.255");
    s.port = ParsePortLoose("21845");
    s.com = ParsePortLoose("1");
    s.baud = 115200;
    return s;
}

RecordBytes CommSettings::Encode() const {
    RecordBytes b{};
    WriteLe32(&b[record_offset::kLinkMode], link_mode);
    std::copy(address.begin(), address.end(), b.begin() + record_offset::kAddress);
    WriteLe16(&b[record_offset::kPort], port);
    WriteLe16(&b[record_offset::kCom], com);
    WriteLe32(&b[record_offset::kBaud], baud);
    std::copy(reserved.begin(), reserved.end(), b.begin() + record_offset::kReserved);
    return b;
}

void CommSettings::DecodeOver(std::span<const uint8_t> bytes) {
    RecordBytes b = Encode();
    std::copy_n(bytes.begin(), std::min(bytes.size(), kRecordSize), b.begin());
    auto get32 = [&](size_t at) { return ReadLe32(&b[at]); };
    auto get16 = [&](size_t at) { return ReadLe16(&b[at]); };
    link_mode = get32(record_offset::kLinkMode);
    std::copy_n(b.begin() + record_offset::kAddress, 4, address.begin());
    port = get16(record_offset::kPort);
    com = get16(record_offset::kCom);
    baud = get32(record_offset::kBaud);
    std::copy_n(b.begin() + record_offset::kReserved, 8, reserved.begin());
}

LinkSettings CommSettings::ToLinkSettings() const {
    LinkSettings s;
    s.mode = LinkMode{link_mode};
    s.address = ReadLe32(address.data());
    s.port = port;
    s.com = com;
    s.baud = baud;
    return s;
}

RecordBytes PanelNetworkRecord::Encode() const {
    RecordBytes b{};
    std::copy(address.begin(), address.end(), b.begin() + record_offset::kAddress);
    WriteLe16(&b[record_offset::kPort], port);
    std::copy(gateway.begin(), gateway.end(), b.begin() + record_offset::kGateway);
    std::copy(mask.begin(), mask.end(), b.begin() + record_offset::kMask);
    return b;
}

std::array<uint8_t, 4> ParseDottedLoose(std::string_view text) {
    std::array<uint8_t, 4> out{};
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            const size_t dot = text.find('.', at);
            if (dot == std::string_view::npos)
                break;
            at = dot + 1;
        }
        out[i] = static_cast<uint8_t>(ReadLeadingDecimal(text.substr(at)).value);
    }
    return out;
}

uint16_t ParsePortLoose(std::string_view text) {
    return static_cast<uint16_t>(ReadLeadingDecimal(text).value);
}

std::string RecordProblem(const CommSettings& record) {
    if (record.link_mode < 1 || record.link_mode > 3) {
        return "names no link (link mode " + std::to_string(record.link_mode) +
               "; 1 is udp, 2 serial, 3 usb)";
    }
    // What an emptied file becomes once only the link is chosen again.
    if (LinkMode{record.link_mode} == LinkMode::Udp &&
        (record.address == std::array<uint8_t, 4>{} || record.port == 0)) {
        return "names no panel to reach over udp (address " + std::to_string(record.address[0]) +
               "." + std::to_string(record.address[1]) + "." + std::to_string(record.address[2]) +
               "." + std::to_string(record.address[3]) + ", port " + std::to_string(record.port) +
               ")";
    }
    // Only a garbled file holds a rate no serial port is set to (every
    // writer of the file puts 115200).
    if (!IsSupportedBaud(record.baud)) {
        return "names no baud rate the serial link can set (baud " + std::to_string(record.baud) +
               ")";
    }
    return {};
}

}  // namespace korvane
