#pragma once
// Command codes of the panel protocol, shared by the tool and the simulator.
#include <cstdint>

namespace korvane::cmd {

inline constexpr uint8_t kEnterDownload = 0x01;
inline constexpr uint8_t kQueryState = 0x03;
inline constexpr uint8_t kVersionHandshake = 0x0A;
inline constexpr uint8_t kEndDownload = 0x0F;
inline constexpr uint8_t kSetParameter = 0x20;
inline constexpr uint8_t kGetParameter = 0x21;
inline constexpr uint8_t kGetClock = 0x2B;
inline constexpr uint8_t kSetClock = 0x2C;
inline constexpr uint8_t kFlashData = 0x82;
inline constexpr uint8_t kFlashPrepare = 0x8F;

// The identification string that enter-download and the version handshake carry.
inline constexpr char kIdent[] = "Tamix";
inline constexpr int kIdentLength = 5;

// Set-parameter items.
inline constexpr uint8_t kItemAddress = 1;
inline constexpr uint8_t kItemMac = 2;
inline constexpr uint8_t kItemMask = 3;
inline constexpr uint8_t kItemGateway = 5;

}  // namespace korvane::cmd
