#pragma once
// Where the program keeps the files that live "beside the executable". A file
// is used only when the running program is ours (its file name is "korvane",
// or "korvane.exe" on Windows, in any letter case); when the program's folder
// cannot be written (an installed program), writable files go to the per-user
// configuration folder instead.
#include <filesystem>
#include <optional>
#include <string_view>

namespace korvane {

bool IsOurExecutableName(const std::filesystem::path& executable);

// The running program's full path (empty when it cannot be learned).
std::filesystem::path RunningExecutable();

// `name` in the executable's folder, or nothing when the executable is not ours.
std::optional<std::filesystem::path> FileBesideExecutable(const std::filesystem::path& executable,
                                                          std::string_view name);

// Like FileBesideExecutable, but falls back to the per-user configuration
// folder ($XDG_CONFIG_HOME/korvane, else ~/.config/korvane) when the
// executable's folder is not writable.
std::optional<std::filesystem::path> WritableFileFor(const std::filesystem::path& executable,
                                                     std::string_view name);

std::filesystem::path UserConfigFolder();

}  // namespace korvane
