#pragma once
// The panels of a batch as people write them: ADDR[:PORT], a range A-B
// (192.168.0.101-120), or a serial device (/dev/ttyUSB0, COM3). One set of
// rules for the command line and the window, which each say a fault in
// their own words.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "link/link_settings.h"

namespace korvane {

// What was wrong with one entry.
enum class BatchEntryFault {
    NotAnAddress,  // the part before ':' is no IPv4 address
    BadPort,       // the part after ':' is no port from 1 to 65535
    BadRange,      // no A-B range, or one longer than kMaxBatchRange
};

struct BatchEntryProblem {
    std::string entry;  // as typed
    BatchEntryFault fault;
};

struct BatchEntries {
    std::vector<LinkSettings> targets;  // in the order given
    std::vector<BatchEntryProblem> problems;
};

// At most this many panels in one batch: each has threads of its own.
inline constexpr uint32_t kMaxBatchRange = 1024;

// A UDP target from a host-order address (192.168.0.1 is 0xC0A80001).
LinkSettings UdpBatchTarget(uint32_t host, uint16_t port);
// A serial target: COMn names the port by number, as the settings do;
// anything else is a device path used as it is.
LinkSettings SerialBatchTarget(std::string_view device);
// Whether an entry names a serial device rather than an address.
bool NamesSerialDevice(std::string_view entry);
// "ADDR[:PORT]", `port` when none is given.
std::variant<LinkSettings, BatchEntryFault> ReadUdpBatchTarget(std::string_view entry,
                                                               uint16_t port);

// Splits `text` at white space, commas and semicolons and reads each entry
// (an address, a range or a serial device); `port` is the port of an address
// given without one.
BatchEntries ParseBatchEntries(std::string_view text, uint16_t port);

}  // namespace korvane
