#pragma once
// std::fopen for a path in any script: the path's own characters reach the
// system (wide ones on Windows). One implementation per platform.
#include <cstdio>
#include <filesystem>

namespace korvane {

// `mode` as for std::fopen; errno says why on failure.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

}  // namespace korvane
