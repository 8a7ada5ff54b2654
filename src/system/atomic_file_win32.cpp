#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <vector>

#include "system/atomic_file_platform.h"
#include "system/win32_error.h"

namespace korvane::atomic_file {

namespace fs = std::filesystem;

unsigned long ProcessId() {
    return static_cast<unsigned long>(GetCurrentProcessId());
}

// A symbolic link or other reparse point is followed so that the link stays
// and its target is replaced. A link whose target does not exist cannot be
// resolved and is replaced itself; nothing here fails.
fs::path FollowLinks(fs::path path, int&) {
    const DWORD attrs = GetFileAttributesW(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_REPARSE_POINT))
        return path;
    const HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return path;
    std::vector<wchar_t> name(MAX_PATH);
    DWORD n = GetFinalPathNameByHandleW(h, name.data(), static_cast<DWORD>(name.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n >= name.size()) {
        name.resize(n + 1);
        n = GetFinalPathNameByHandleW(h, name.data(), static_cast<DWORD>(name.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    CloseHandle(h);
    if (n == 0 || n >= name.size())
        return path;
    return fs::path(std::wstring(name.data(), n));
}

int CreateNew(const fs::path& path, int& fd) {
    // Binary, so that no byte is translated on the way.
    return _wsopen_s(&fd, path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                     _SH_DENYRW, _S_IREAD | _S_IWRITE);
}

long long WriteSome(int fd, const char* bytes, size_t count) {
    const unsigned piece = count > (1u << 30) ? (1u << 30) : static_cast<unsigned>(count);
    return _write(fd, bytes, piece);
}

int SyncToDisk(int fd) {
    return _commit(fd) == 0 ? 0 : errno;
}

int Close(int fd) {
    return _close(fd) == 0 ? 0 : errno;
}

void Remove(const fs::path& path) {
    _wunlink(path.c_str());
}

std::error_code Replace(const fs::path& from, const fs::path& to) {
    // Write-through: the call returns once the new name is on the disk, which
    // the folder sync does on POSIX. While another writer replaces the same
    // file, or a reader (a virus scanner, say) holds it without sharing its
    // deletion, Windows refuses for a moment: try again for a while.
    DWORD err = 0;
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
            return {};
        }
        err = GetLastError();
        if (err != ERROR_ACCESS_DENIED && err != ERROR_SHARING_VIOLATION)
            break;
        Sleep(attempt < 10 ? 1 : 10);
    }
    return Win32ErrorCode(err);
}

}  // namespace korvane::atomic_file
