#pragma once
// Which USB device nodes are present: what `korvane-cli ports` lists and the
// USB link tries when the settings name no node (see usb_device.h for how
// they are found on each platform). Listing needs no open device.
#include <string>
#include <vector>

namespace korvane {

inline constexpr char kUsbDevicePrefix[] = "/dev/korvane-usb";

// The USB device nodes present now, in the order the link tries them.
std::vector<std::string> ListUsbDevices();
// Where ListUsbDevices looks, for the message when it finds nothing.
std::string UsbDeviceSearchPlace();

}  // namespace korvane
