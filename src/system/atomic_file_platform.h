#pragma once
// The system calls behind AtomicFileWriter, one set per platform
// (atomic_file_posix.cpp, atomic_file_win32.cpp); the steps and their order
// live in atomic_file.cpp.
#include <cstddef>
#include <filesystem>
#include <system_error>

namespace korvane::atomic_file {

unsigned long ProcessId();
// The file a chain of symbolic links ends at (which need not exist yet), or
// the path itself when it is no link; empty with `err` set when the chain
// cannot be followed.
std::filesystem::path FollowLinks(std::filesystem::path path, int& err);
// Creates `path` for writing only if no file has that name, not inherited by
// child processes; 0 with `fd` set, or the errno value.
int CreateNew(const std::filesystem::path& path, int& fd);
// Writes some of the bytes: how many, or -1 with errno set.
long long WriteSome(int fd, const char* bytes, size_t count);
// Each 0, or the errno value.
int SyncToDisk(int fd);
int Close(int fd);
void Remove(const std::filesystem::path& path);
// Renames `from` over `to` so that the new name survives a power cut.
std::error_code Replace(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace korvane::atomic_file
