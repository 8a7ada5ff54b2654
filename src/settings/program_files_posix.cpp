#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include "settings/program_files.h"

namespace korvane {

namespace fs = std::filesystem;

bool IsOurExecutableName(const fs::path& executable) {
    std::string name = executable.filename().string();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name == "korvane" || name == "korvane.exe";
}

fs::path RunningExecutable() {
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path{} : p;
}

std::optional<fs::path> FileBesideExecutable(const fs::path& executable, std::string_view name) {
    if (!IsOurExecutableName(executable))
        return std::nullopt;
    return executable.parent_path() / fs::path(std::string(name));
}

fs::path UserConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        return fs::path(xdg) / "korvane";
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return fs::path(home) / ".config" / "korvane";
    }
    return fs::temp_directory_path() / "korvane";
}

std::optional<fs::path> WritableFileFor(const fs::path& executable, std::string_view name) {
    auto beside = FileBesideExecutable(executable, name);
    if (!beside)
        return std::nullopt;
    const fs::path folder = beside->parent_path().empty() ? fs::path(".") : beside->parent_path();
    if (::access(folder.c_str(), W_OK) == 0)
        return beside;
    return UserConfigFolder() / fs::path(std::string(name));
}

}  // namespace korvane
