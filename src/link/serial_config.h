#pragma once
// Line settings of the serial link and the baud rates it can set.
#include <array>
#include <cstdint>
#include <string>

namespace korvane {

enum class SerialParity : uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
// 0 is one stop bit; 1 and 2 both mean two stop bits.
inline constexpr uint8_t kOneStopBit = 0;

struct SerialConfig {
    std::string port_name;  // the device path that was opened
    uint32_t baud = 0;
    uint8_t parity = 0;  // a SerialParity value; anything else fails the open
    uint8_t data_bits = 8;
    uint8_t stop_bits = kOneStopBit;  // 0, 1 or 2; anything else fails the open
};

// The rates the link sets, in the order they are searched. A configured rate
// outside this table leaves the port at the rate it already has.
inline constexpr std::array<uint32_t, 13> kSupportedBauds = {
    115200, 57600, 38400, 19200, 9600, 4800, 2400, 1200, 300, 150, 134, 110, 75};

constexpr bool IsSupportedBaud(uint32_t baud) {
    for (uint32_t b : kSupportedBauds) {
        if (b == baud)
            return true;
    }
    return false;
}

}  // namespace korvane
