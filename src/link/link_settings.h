#pragma once
// What the link manager needs to open a link: the configured mode and the
// parameters of each link kind.
#include <cstdint>
#include <string>

#include "link/link_result.h"

namespace korvane {

inline constexpr uint16_t kDefaultPanelPort = 21845;
inline constexpr uint32_t kDefaultBaud = 115200;

struct LinkSettings {
    LinkMode mode{0};
    uint32_t address = 0xFFFFFFFF;  // IPv4, first octet in the low byte
    uint16_t port = kDefaultPanelPort;
    uint16_t com = 1;  // COM port number
    uint32_t baud = kDefaultBaud;
    std::string serial_device;  // explicit device path; empty: derived from `com`
    std::string usb_device;     // explicit device path; empty: found by the USB link
};

}  // namespace korvane
