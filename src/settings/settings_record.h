#pragma once
// The 24-byte communication settings record kept in Para.dat, and the panel
// network record that the maintenance operations save beside it. Both are
// little-endian raw images; field offsets are named once here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "link/link_settings.h"

namespace korvane {

inline constexpr size_t kRecordSize = 24;
using RecordBytes = std::array<uint8_t, kRecordSize>;

namespace record_offset {
inline constexpr size_t kLinkMode = 0;   // 4 bytes
inline constexpr size_t kAddress = 4;    // 4 bytes, dotted order
inline constexpr size_t kPort = 8;       // 2 bytes
inline constexpr size_t kCom = 10;       // 2 bytes
inline constexpr size_t kBaud = 12;      // 4 bytes
inline constexpr size_t kReserved = 16;  // 8 bytes
inline constexpr size_t kGateway = 16;   // panel network record only
inline constexpr size_t kMask = 20;      // panel network record only
}  // namespace record_offset

struct CommSettings {
    uint32_t link_mode = 0;
    std::array<uint8_t, 4> address{};  // dotted order: [0] is the first octet
    uint16_t port = 0;
    uint16_t com = 0;
    uint32_t baud = 0;
    std::array<uint8_t, 8> reserved{};

    static CommSettings Defaults();
    RecordBytes Encode() const;
    // Replaces only the fields covered by the bytes present (a short file
    // keeps the rest as it was); never reads past `bytes`.
    void DecodeOver(std::span<const uint8_t> bytes);
    LinkSettings ToLinkSettings() const;
    bool operator==(const CommSettings&) const = default;
};

// Why a whole record cannot serve as the link's settings (no link mode, no
// panel to reach over udp, a baud rate no serial port takes), in English;
// empty when it can.
std::string RecordProblem(const CommSettings& record);

struct PanelNetworkRecord {
    std::array<uint8_t, 4> address{};
    uint16_t port = 0;
    std::array<uint8_t, 4> gateway{};
    std::array<uint8_t, 4> mask{};

    RecordBytes Encode() const;
};

// The dotted text as the settings writers read it: the decimal value at the
// start, then after each '.', each kept in 8 bits; missing parts are 0.
std::array<uint8_t, 4> ParseDottedLoose(std::string_view text);
// Decimal text at the start (after white space, with an optional sign), kept in 16 bits.
uint16_t ParsePortLoose(std::string_view text);

}  // namespace korvane
