#pragma once
// The panel's USB interface as the platform exposes it: a device node read
// and written like a file, each transfer bounded by a time-out. One
// implementation per platform (usb_device_posix.cpp here: open, poll).
//
// Finding the device: with no path in the settings (usb_device), the link
// takes the first of /dev/korvane-usb0, /dev/korvane-usb1, ... in numeric
// order. Those names come from the udev rule packaging/70-korvane.rules,
// installed with the package, once the panel's USB vendor and product are
// named in a local rule. Any other node can be named by its path in the
// settings.
//
// On Windows (usb_device_win32.cpp: SETUPAPI, overlapped transfers) the
// devices are the present interfaces of the class
// {E53FF293-92EE-464C-AA29-B16B548BA0B4}, which the panel's driver registers
// for its interface, in the order the system lists them; a device interface
// path in the settings names any other.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/device_error.h"
#include "link/usb_devices.h"
#include "system/descriptor_write.h"
#include "system/native_handle.h"

namespace korvane {

class UsbDevice {
  public:
    using Transfer = DeviceTransfer;

    UsbDevice() = default;
    ~UsbDevice();
    UsbDevice(const UsbDevice&) = delete;
    UsbDevice& operator=(const UsbDevice&) = delete;

    // One handle serves both directions. On failure error() says why.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ != kNoHandle; }
    // Why the last open or transfer failed (the path and the system's words).
    const DeviceError& error() const { return error_; }

    // Writes all bytes within `timeout_ms`.
    Transfer Write(const uint8_t* bytes, size_t length, uint32_t timeout_ms);
    // Waits up to `timeout_ms` for the device to deliver, then takes one
    // transfer of at most `capacity` bytes; `*got` is its length.
    Transfer Read(uint8_t* buffer, size_t capacity, uint32_t timeout_ms, size_t* got);

  private:
    NativeHandle fd_ = kNoHandle;  // a descriptor, or a HANDLE on Windows
    std::string path_;
    DeviceError error_;
};

}  // namespace korvane
