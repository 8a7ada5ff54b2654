#pragma once
// Why a device node did not open, kept so that a front end can tell the user
// what to do about it (join the dialout group, name another device, ...).
#include <string>

namespace korvane {

enum class DeviceErrorKind {
    None,
    NoDevice,  // nothing to open: no such path, or no device found for the setting
    Denied,    // the device exists but the user may not open it
    Busy,      // another program holds the device
    Other,
};

struct DeviceError {
    DeviceErrorKind kind = DeviceErrorKind::None;
    std::string text;  // the system's own words, with the path
};

}  // namespace korvane

namespace korvane {

// The error the last failed platform call left, for the device at `path`
// (one implementation per platform).
DeviceError LastDeviceError(const std::string& path);

// A device that hung up: the system ends its stream (a read of nothing once
// data was promised) instead of failing with a reason.
inline DeviceError DeviceGoneError(const std::string& path) {
    return {DeviceErrorKind::NoDevice, path + ": end of file: the device hung up"};
}

}  // namespace korvane
