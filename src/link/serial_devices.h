#pragma once
// How a COM port number names a serial device.
//
// COM n is the n-th device (counting from 1) of this list, built from the
// devices present when the link opens:
//   1. /dev/ttyUSB0, /dev/ttyUSB1, ...   USB serial adapters
//   2. /dev/ttyACM0, /dev/ttyACM1, ...   USB modem-class adapters
//   3. /dev/ttyS0,   /dev/ttyS1,   ...   on-board ports
// each group in numeric order (ttyUSB2 before ttyUSB10). So with one USB
// adapter plugged in, COM1 is that adapter. The list moves when adapters come
// and go; an explicit device path in the settings (serial_device) overrides
// the number and names any device, a pseudo-terminal included.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// Keeps the serial device paths among `paths` (judged by their file names:
// ttyUSB<n>, ttyACM<n>, ttyS<n>) and orders them as above.
std::vector<std::string> OrderSerialDevices(std::vector<std::string> paths);

// The device COM `com` names within an ordered list; nothing for COM 0 or a
// number beyond the list.
std::optional<std::string> ComPortDevice(unsigned com, const std::vector<std::string>& ordered);

// The ordered list of the serial devices present now in the device folder
// `root` (tests give a folder of their own), each as `root`/name.
std::vector<std::string> ListSerialDevices(const std::filesystem::path& root = "/dev");

// What the user calls a COM port, and the device it opens. One
// implementation per platform of the two calls below: the list above,
// numbered from 1; on Windows COM n is the system's own COMn, \\.\COMn.
struct ComPort {
    unsigned number = 0;
    std::string device;
};

// The COM ports present now, in number order.
std::vector<ComPort> ListComPorts();

// The device COM `com` opens now: nothing for COM 0, nor beyond the list. On
// Windows any COMn is named, present or not; opening it tells.
std::optional<std::string> ComPortDevice(unsigned com);

}  // namespace korvane
