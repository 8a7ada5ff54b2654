#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "system/atomic_file_platform.h"

namespace korvane::atomic_file {

namespace fs = std::filesystem;

namespace {

// Makes a rename in `folder` durable. Some file systems refuse to sync a
// folder; the file is in place by then, so that is no failure.
void SyncFolder(const fs::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)::fsync(fd);
    ::close(fd);
}

}  // namespace

unsigned long ProcessId() {
    return static_cast<unsigned long>(::getpid());
}

fs::path FollowLinks(fs::path path, int& err) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::error_code ec;
        const fs::path to = fs::read_symlink(path, ec);
        if (ec) {
            err = ec.value();
            return {};
        }
        path = to.is_absolute() ? to : path.parent_path() / to;
    }
    err = ELOOP;
    return {};
}

int CreateNew(const fs::path& path, int& fd) {
    // The mode follows the umask, as the target's would.
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    return fd >= 0 ? 0 : errno;
}

long long WriteSome(int fd, const char* bytes, size_t count) {
    for (;;) {
        const ssize_t n = ::write(fd, bytes, count);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

int SyncToDisk(int fd) {
    return ::fsync(fd) == 0 ? 0 : errno;
}

int Close(int fd) {
    return ::close(fd) == 0 ? 0 : errno;
}

void Remove(const fs::path& path) {
    ::unlink(path.c_str());
}

std::error_code Replace(const fs::path& from, const fs::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        return std::error_code(errno, std::generic_category());
    SyncFolder(to.parent_path());
    return {};
}

}  // namespace korvane::atomic_file
