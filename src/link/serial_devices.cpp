#include "link/serial_devices.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <system_error>

namespace korvane {

namespace {

constexpr std::array<std::string_view, 3> kGroups = {"ttyUSB", "ttyACM", "ttyS"};

struct Key {
    size_t group;
    unsigned long number;
};

// Group and number of a serial device path; nothing for other paths, so that
// /dev/ttyS0.lock or /dev/ttyUSB-by-name never take a COM number.
std::optional<Key> KeyOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    for (size_t g = 0; g < kGroups.size(); ++g) {
        if (!name.starts_with(kGroups[g]))
            continue;
        const std::string_view digits = name.substr(kGroups[g].size());
        if (digits.empty() || digits.size() > 9 ||
            !std::all_of(digits.begin(), digits.end(),
                         [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
            return std::nullopt;
        }
        return Key{g, std::stoul(std::string(digits))};
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::string> OrderSerialDevices(std::vector<std::string> paths) {
    std::erase_if(paths, [](const std::string& p) { return !KeyOf(p); });
    std::sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        const Key ka = *KeyOf(a);
        const Key kb = *KeyOf(b);
        return ka.group != kb.group ? ka.group < kb.group : ka.number < kb.number;
    });
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return paths;
}

std::optional<std::string> ComPortDevice(unsigned com, const std::vector<std::string>& ordered) {
    if (com == 0 || com > ordered.size())
        return std::nullopt;
    return ordered[com - 1];
}

std::vector<std::string> ListSerialDevices(const std::filesystem::path& root) {
    std::vector<std::string> paths;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        paths.push_back(it->path().string());
    return OrderSerialDevices(std::move(paths));
}

}  // namespace korvane
