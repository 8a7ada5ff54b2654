#include <windows.h>

#include "system/file_read_check.h"
#include "system/win32_error.h"

namespace korvane {

namespace {

// Windows says "path not found" where a folder on the way is a file; POSIX
// says "not a directory", which tells the user more.
bool SomeFolderOnTheWayIsAFile(const std::filesystem::path& path) {
    for (std::filesystem::path p = path.parent_path(); !p.empty(); p = p.parent_path()) {
        const DWORD attrs = GetFileAttributesW(p.c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES)
            return !(attrs & FILE_ATTRIBUTE_DIRECTORY);
        if (p == p.parent_path())
            break;
    }
    return false;
}

}  // namespace

std::error_code CheckReadable(const std::filesystem::path& path) {
    // Backup semantics let a folder open too, so that it can be told apart.
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        if (err == ERROR_PATH_NOT_FOUND && SomeFolderOnTheWayIsAFile(path))
            return std::make_error_code(std::errc::not_a_directory);
        return Win32ErrorCode(err);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool folder =
        GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(h);
    if (folder)
        return std::make_error_code(std::errc::is_a_directory);
    return {};
}

}  // namespace korvane
