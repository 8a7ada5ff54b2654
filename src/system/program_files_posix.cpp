#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

#include "system/program_files.h"

namespace korvane {

namespace fs = std::filesystem;

fs::path RunningExecutable() {
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path{} : p;
}

fs::path UserConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return fs::path(xdg) / "korvane";
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".config" / "korvane";
    return fs::temp_directory_path() / "korvane";
}

fs::path UserDataFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return fs::path(xdg) / "korvane";
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".local" / "share" / "korvane";
    return fs::temp_directory_path() / "korvane";
}

bool CanWriteFolder(const fs::path& folder) {
    // A path that names a file is no folder to write into, whatever its rights.
    std::error_code ec;
    return fs::is_directory(folder, ec) && ::access(folder.c_str(), W_OK) == 0;
}

}  // namespace korvane
