#pragma once
// Whether a file can be opened for reading, with the system's own reason when
// it cannot (permission denied, not a directory, ...), so that a front end can
// say more than "not found".
#include <filesystem>
#include <system_error>

namespace korvane {

// No error when `path` is a file this process may open for reading; a folder
// gives the error "is a directory".
std::error_code CheckReadable(const std::filesystem::path& path);

}  // namespace korvane
