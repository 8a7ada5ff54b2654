#pragma once
// The panels of a batch as the window's batch page takes them from what was
// typed or pasted: ADDR[:PORT], a range A-B (192.168.0.101-120), or a serial
// device (/dev/ttyUSB0, COM3). Plain C++, so that the rules are tested
// without a window.
#include <cstdint>
#include <string>
#include <string_view>
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

// At most this many addresses from one range: each panel has threads of its own.
inline constexpr uint32_t kMaxBatchRange = 1024;

// Splits `text` at white space, commas and semicolons and reads each entry;
// `port` is the port of an address given without one.
BatchEntries ParseBatchEntries(std::string_view text, uint16_t port);

}  // namespace korvane
