#include "link/serial_devices.h"

namespace korvane {

std::vector<ComPort> ListComPorts() {
    std::vector<ComPort> ports;
    for (std::string& device : ListSerialDevices())
        ports.push_back({static_cast<unsigned>(ports.size() + 1), std::move(device)});
    return ports;
}

std::optional<std::string> ComPortDevice(unsigned com) {
    return ComPortDevice(com, ListSerialDevices());
}

}  // namespace korvane
