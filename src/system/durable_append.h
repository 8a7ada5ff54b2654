#pragma once
// Appends one whole line to a file that only ever grows (the run log): one
// write on a descriptor opened for appending, so that writers side by side
// never interleave and a crash leaves at most the last line cut, then synced
// to the disk before the caller goes on. The file is never truncated.
#include <filesystem>
#include <string_view>
#include <system_error>

namespace korvane {

// Creates the file when missing; its folder must exist. Empty on success,
// else the system's reason (a short write counts as failed).
std::error_code AppendDurably(const std::filesystem::path& path, std::string_view line);

}  // namespace korvane
