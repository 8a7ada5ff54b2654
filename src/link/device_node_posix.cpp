#include <fcntl.h>

#include "link/device_node.h"

namespace korvane {

int OpenDeviceNode(const std::string& path, DeviceError* error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        *error = LastDeviceError(path);
    return fd;
}

}  // namespace korvane
