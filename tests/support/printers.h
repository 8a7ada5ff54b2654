#pragma once
// Readable failure output for the core's value types.
#include <ostream>

#include "link/message_sink.h"

namespace korvane {

inline void PrintTo(const Message& m, std::ostream* os) {
    *os << MessageKindName(m.kind) << " \"" << m.text << "\"";
}

}  // namespace korvane
