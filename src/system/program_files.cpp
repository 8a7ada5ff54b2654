#include "system/program_files.h"

#include <algorithm>
#include <string>

namespace korvane {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr std::string_view kProgramFileName = "korvane.exe";
#else
constexpr std::string_view kProgramFileName = "korvane";
#endif

// ASCII only: the locale must not decide whether a name is ours.
char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool IsProgramExecutable(const fs::path& executable) {
    const std::string name = executable.filename().string();
    return std::ranges::equal(name, kProgramFileName,
                              [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
}

ProgramFiles ProgramFiles::ForExecutable(const fs::path& executable) {
    if (!IsProgramExecutable(executable))
        return ProgramFiles(std::nullopt);
    return ProgramFiles(executable.parent_path());
}

ProgramFiles ProgramFiles::ForRunningProgram() {
    return ForExecutable(RunningExecutable());
}

ProgramFiles ProgramFiles::InFolder(fs::path folder, FolderCheck can_write) {
    return ProgramFiles(std::move(folder), can_write);
}

std::optional<fs::path> ProgramFiles::Beside(std::string_view name) const {
    if (!folder_)
        return std::nullopt;
    return *folder_ / fs::path(std::string(name));
}

std::optional<fs::path> ProgramFiles::WritableBeside(std::string_view name) const {
    auto beside = Beside(name);
    if (!beside)
        return std::nullopt;
    const fs::path folder = folder_->empty() ? fs::path(".") : *folder_;
    if (can_write_(folder))
        return beside;
    return UserConfigFolder() / fs::path(std::string(name));
}

}  // namespace korvane
