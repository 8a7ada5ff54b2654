#include "settings/settings_record.h"

#include <algorithm>
#include <string>

#include "system/number_text.h"

namespace korvane {

namespace {

void Put16(RecordBytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(RecordBytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

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
    Put32(b, record_offset::kLinkMode, link_mode);
    std::copy(address.begin(), address.end(), b.begin() + record_offset::kAddress);
    Put16(b, record_offset::kPort, port);
    Put16(b, record_offset::kCom, com);
    Put32(b, record_offset::kBaud, baud);
    std::copy(reserved.begin(), reserved.end(), b.begin() + record_offset::kReserved);
    return b;
}

void CommSettings::DecodeOver(std::span<const uint8_t> bytes) {
    RecordBytes b = Encode();
    std::copy_n(bytes.begin(), std::min(bytes.size(), kRecordSize), b.begin());
    auto get32 = [&](size_t at) {
        return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
               uint32_t{b[at + 3]} << 24;
    };
    auto get16 = [&](size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); };
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
    s.address = uint32_t{address[0]} | uint32_t{address[1]} << 8 | uint32_t{address[2]} << 16 |
                uint32_t{address[3]} << 24;
    s.port = port;
    s.com = com;
    s.baud = baud;
    return s;
}

RecordBytes PanelNetworkRecord::Encode() const {
    RecordBytes b{};
    std::copy(address.begin(), address.end(), b.begin() + record_offset::kAddress);
    Put16(b, record_offset::kPort, port);
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

}  // namespace korvane
