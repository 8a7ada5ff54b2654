#pragma once
// A device, socket or pipe as the platform names it, for the private members
// of the classes that wrap one: a file descriptor on POSIX; on Windows a
// HANDLE or a SOCKET, both held as an integer of pointer width (their
// invalid values, INVALID_HANDLE_VALUE and INVALID_SOCKET, are both -1 so).
#include <cstdint>

namespace korvane {

#ifdef _WIN32
using NativeHandle = std::intptr_t;
#else
using NativeHandle = int;
#endif
inline constexpr NativeHandle kNoHandle = -1;

}  // namespace korvane
