#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "system/atomic_file.h"
#include "system/file_kind.h"

namespace korvane {

namespace fs = std::filesystem;

namespace {

// A per-process counter, the process id and the clock keep two runs, two
// threads or two programs from sharing a temporary file.
fs::path TemporaryNameFor(const fs::path& target, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    char suffix[80];
    std::snprintf(suffix, sizeof suffix, ".%lx-%llx-%x-%x.tmp", static_cast<long>(::getpid()),
                  static_cast<unsigned long long>(tick), counter.fetch_add(1), attempt);
    fs::path temp = target;
    temp += suffix;
    return temp;
}

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

// The file a chain of symbolic links ends at (which need not exist yet), or
// the path itself when it is no link; empty with `err` set when the chain
// cannot be followed.
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

}  // namespace

AtomicFileWriter::AtomicFileWriter(fs::path target) {
    int link_error = 0;
    target_ = FollowLinks(std::move(target), link_error);
    if (target_.empty()) {
        Fail(Step::Create, link_error);
        return;
    }
    if (const std::error_code refused = RefusalFor(KindAt(target_))) {
        Fail(Step::Target, refused);
        return;
    }
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        temp_ = TemporaryNameFor(target_, attempt);
        // O_EXCL: fail rather than reuse a file someone else created. The
        // mode follows the umask, as the target's would.
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0 || errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        Fail(Step::Create, errno);
        temp_.clear();
    }
}

AtomicFileWriter::~AtomicFileWriter() {
    if (fd_ >= 0)
        ::close(fd_);
    if (!committed_ && !temp_.empty())
        ::unlink(temp_.c_str());
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
        const ssize_t n = ::write(fd_, p, count);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Fail(Step::Write, errno);
        }
        p += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

bool AtomicFileWriter::Commit() {
    if (fd_ < 0 || failed_step_ != Step::None)
        return failed_step_ == Step::None ? Fail(Step::Write, EBADF) : false;
    // The data must be on the disk before the name points at it.
    const bool synced = ::fsync(fd_) == 0;
    const int sync_error = errno;
    const bool closed = ::close(fd_) == 0;
    const int close_error = errno;
    fd_ = -1;
    if (!synced)
        return Fail(Step::Write, sync_error);
    if (!closed)
        return Fail(Step::Write, close_error);
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        return Fail(Step::Replace, errno);
    committed_ = true;
    SyncFolder(target_.parent_path());
    return true;
}

bool WriteFileAtomically(const fs::path& target, const void* bytes, size_t size) {
    AtomicFileWriter writer(target);
    return writer.opened() && writer.Write(bytes, size) && writer.Commit();
}

}  // namespace korvane
