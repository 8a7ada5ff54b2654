#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <vector>

#include "system/atomic_file.h"
#include "system/file_kind.h"
#include "system/win32_error.h"

namespace korvane {

namespace fs = std::filesystem;

namespace {

// A per-process counter, the process id and the clock keep two runs, two
// threads or two programs from sharing a temporary file.
fs::path TemporaryNameFor(const fs::path& target, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    char suffix[80];
    std::snprintf(suffix, sizeof suffix, ".%lx-%llx-%x-%x.tmp",
                  static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long long>(tick), counter.fetch_add(1), attempt);
    fs::path temp = target;
    temp += suffix;
    return temp;
}

// The file a symbolic link or other reparse point names, so that the link
// stays and its target is replaced; the path itself otherwise. A link whose
// target does not exist cannot be resolved and is replaced itself.
fs::path FollowLinks(const fs::path& path) {
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

}  // namespace

AtomicFileWriter::AtomicFileWriter(fs::path target) : target_(FollowLinks(target)) {
    if (const std::error_code refused = RefusalFor(KindAt(target_))) {
        Fail(Step::Target, refused);
        return;
    }
    int err = 0;
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        temp_ = TemporaryNameFor(target_, attempt);
        // _O_EXCL: fail rather than reuse a file someone else created;
        // binary, so that no byte is translated on the way.
        err = _wsopen_s(&fd_, temp_.c_str(),
                        _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _SH_DENYRW,
                        _S_IREAD | _S_IWRITE);
        if (err == 0 || err != EEXIST)
            break;
    }
    if (err != 0) {
        fd_ = -1;
        Fail(Step::Create, err);
        temp_.clear();
    }
}

AtomicFileWriter::~AtomicFileWriter() {
    if (fd_ >= 0)
        _close(fd_);
    if (!committed_ && !temp_.empty())
        _wunlink(temp_.c_str());
}

bool AtomicFileWriter::Fail(Step step, int err) {
    return Fail(step, std::error_code(err, std::generic_category()));
}

bool AtomicFileWriter::Fail(Step step, std::error_code error) {
    if (failed_step_ == Step::None) {
        failed_step_ = step;
        error_ = error;
    }
    return false;
}

bool AtomicFileWriter::Write(const void* bytes, size_t count) {
    if (fd_ < 0)
        return failed_step_ == Step::None ? Fail(Step::Write, EBADF) : false;
    const auto* p = static_cast<const char*>(bytes);
    while (count > 0) {
        const unsigned piece = count > (1u << 30) ? (1u << 30) : static_cast<unsigned>(count);
        const int n = _write(fd_, p, piece);
        if (n < 0)
            return Fail(Step::Write, errno);
        p += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

bool AtomicFileWriter::Commit() {
    if (fd_ < 0 || failed_step_ != Step::None)
        return failed_step_ == Step::None ? Fail(Step::Write, EBADF) : false;
    // The data must be on the disk before the name points at it.
    const bool synced = _commit(fd_) == 0;
    const int sync_error = errno;
    const bool closed = _close(fd_) == 0;
    const int close_error = errno;
    fd_ = -1;
    if (!synced)
        return Fail(Step::Write, sync_error);
    if (!closed)
        return Fail(Step::Write, close_error);
    // Write-through: the call returns once the new name is on the disk, which
    // the folder sync does on POSIX. While another writer replaces the same
    // file, or a reader (a virus scanner, say) holds it without sharing its
    // deletion, Windows refuses for a moment: try again for a while.
    bool moved = false;
    DWORD err = 0;
    for (int attempt = 0; attempt < 200 && !moved; ++attempt) {
        moved = MoveFileExW(temp_.c_str(), target_.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        if (moved)
            break;
        err = GetLastError();
        if (err != ERROR_ACCESS_DENIED && err != ERROR_SHARING_VIOLATION)
            break;
        Sleep(attempt < 10 ? 1 : 10);
    }
    if (!moved) {
        return Fail(Step::Replace, Win32ErrorCode(err));
    }
    committed_ = true;
    return true;
}

bool WriteFileAtomically(const fs::path& target, const void* bytes, size_t size) {
    AtomicFileWriter writer(target);
    return writer.opened() && writer.Write(bytes, size) && writer.Commit();
}

}  // namespace korvane
