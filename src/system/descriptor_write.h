#pragma once
// Writing a whole buffer to a non-blocking device or terminal descriptor
// (serial port, USB device node, the simulator's pseudo-terminal), waiting
// for room when the device's buffer is full. One implementation per platform.
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace korvane {

// Milliseconds left until `deadline` for a poll, rounded up so that a wait
// never ends before its time; 0 once it has passed.
int MillisecondsUntil(std::chrono::steady_clock::time_point deadline);

// How a transfer to or from a device ended.
enum class DeviceTransfer { Done, TimedOut, Failed };

#ifndef _WIN32
// Writes all `length` bytes to `fd` within `timeout_ms` in all. Failed when
// the device reports an error or hangs up, with errno saying why. (Windows devices are handles with
// transfers of their own, in their _win32 files.)
DeviceTransfer WriteAllTo(int fd, const uint8_t* bytes, size_t length, uint32_t timeout_ms);
#endif

}  // namespace korvane
