#include <dirent.h>

#include "link/serial_devices.h"

namespace korvane {

std::vector<std::string> ListSerialDevices(const std::filesystem::path& root) {
    std::vector<std::string> paths;
    if (DIR* dir = ::opendir(root.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            paths.push_back((root / entry->d_name).string());
        ::closedir(dir);
    }
    return OrderSerialDevices(std::move(paths));
}

}  // namespace korvane
