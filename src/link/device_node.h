#pragma once
// Opening a device node (a serial port or a USB device) on POSIX systems;
// Windows opens devices as handles in their own files.
#include <string>

#include "link/device_error.h"

namespace korvane {

#ifndef _WIN32
// Opens `path` for reading and writing. Non-blocking, so that every wait is a
// poll with its own time-out and an open does not hang on a modem's carrier
// line; never the controlling terminal; not inherited by child processes.
// The descriptor, or -1 with `*error` saying why.
int OpenDeviceNode(const std::string& path, DeviceError* error);
#endif

}  // namespace korvane
