// Where the running program lives, and whether a file is the program itself.
#pragma once

#include <filesystem>

namespace korvane {

// Full path of the running executable; empty when it cannot be found.
std::filesystem::path RunningExecutablePath();

// True when the file name of `executable` is the program's own name with the
// platform's executable suffix ("korvane" here, "korvane.exe" on Windows),
// compared without regard to letter case. Only the file name counts, never
// its folders.
bool IsProgramExecutable(const std::filesystem::path& executable);

}  // namespace korvane
