#pragma once
// Windows only: a Win32 error code as the portable error the rest of the
// program compares with (std::errc), so that callers and tests see the same
// reasons on every platform. Unmapped codes keep the system's own number and
// words.
#include <windows.h>

#include <cerrno>
#include <system_error>

namespace korvane {

inline std::error_code Win32ErrorCode(DWORD err) {
    int e = 0;
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DEV_NOT_EXIST:
            e = ENOENT;
            break;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_PRIVILEGE_NOT_HELD:
            e = EACCES;
            break;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_BUSY:
            e = EBUSY;
            break;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            e = EEXIST;
            break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            e = ENOSPC;
            break;
        case ERROR_DIRECTORY:
            e = ENOTDIR;
            break;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            e = ENOMEM;
            break;
        default:
            return {static_cast<int>(err), std::system_category()};
    }
    return {e, std::generic_category()};
}

}  // namespace korvane
