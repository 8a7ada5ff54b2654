#include "models/executable_path.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <system_error>

namespace korvane {

namespace {

#ifdef _WIN32
constexpr std::string_view kProgramFileName = "korvane.exe";
#else
constexpr std::string_view kProgramFileName = "korvane";
#endif

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::filesystem::path RunningExecutablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

bool IsProgramExecutable(const std::filesystem::path& executable) {
    const std::string name = executable.filename().string();
    return std::ranges::equal(name, kProgramFileName,
                              [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
}

}  // namespace korvane
