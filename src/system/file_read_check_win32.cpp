#include <windows.h>

#include "system/file_kind.h"
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

// Opens `path` for reading, refusing what is no regular file; `h` stays open
// for a look at the content.
std::error_code OpenRegular(const std::filesystem::path& path, HANDLE& h) {
    // A device name (NUL, COM1) is refused before it is opened: opening a
    // port may disturb what is attached to it.
    const FileKind named = KindAt(path);
    if (named == FileKind::CharacterDevice || named == FileKind::Fifo)
        return RefusalFor(named);
    // Backup semantics let a folder open too, so that it can be told apart.
    h = CreateFileW(path.c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        if (err == ERROR_PATH_NOT_FOUND && SomeFolderOnTheWayIsAFile(path))
            return std::make_error_code(std::errc::not_a_directory);
        return Win32ErrorCode(err);
    }
    switch (GetFileType(h)) {
        case FILE_TYPE_CHAR:
            return RefusalFor(FileKind::CharacterDevice);
        case FILE_TYPE_PIPE:
            return RefusalFor(FileKind::Fifo);
        case FILE_TYPE_DISK:
            break;
        default:
            return RefusalFor(FileKind::Other);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool folder =
        GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    if (folder)
        return std::make_error_code(std::errc::is_a_directory);
    return {};
}

struct Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};

}  // namespace

std::error_code CheckReadable(const std::filesystem::path& path) {
    Handle file;
    return OpenRegular(path, file.h);
}

std::error_code CheckMeasurable(const std::filesystem::path& path) {
    Handle file;
    if (const std::error_code ec = OpenRegular(path, file.h))
        return ec;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.h, &size))
        return Win32ErrorCode(GetLastError());
    if (size.QuadPart != 0)
        return {};
    char byte;
    DWORD n = 0;
    if (!ReadFile(file.h, &byte, 1, &n, nullptr))
        return Win32ErrorCode(GetLastError());
    return n > 0 ? MakeErrorCode(FileRefusal::SizeUnknown) : std::error_code{};
}

}  // namespace korvane
