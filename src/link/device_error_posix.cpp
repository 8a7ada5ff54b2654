#include <cerrno>
#include <cstring>

#include "link/device_error.h"

namespace korvane {

DeviceError LastDeviceError(const std::string& path) {
    const int err = errno;
    DeviceErrorKind kind = DeviceErrorKind::Other;
    switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            kind = DeviceErrorKind::NoDevice;
            break;
        case EACCES:
        case EPERM:
            kind = DeviceErrorKind::Denied;
            break;
        case EBUSY:
            kind = DeviceErrorKind::Busy;
            break;
        default:
            break;
    }
    return {kind, path + ": " + std::strerror(err)};
}

}  // namespace korvane
