#include "system/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "system/atomic_file_platform.h"
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
    std::snprintf(suffix, sizeof suffix, ".%lx-%llx-%x-%x.tmp", atomic_file::ProcessId(),
                  static_cast<unsigned long long>(tick), counter.fetch_add(1), attempt);
    fs::path temp = target;
    temp += suffix;
    return temp;
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(fs::path target) {
    int link_error = 0;
    target_ = atomic_file::FollowLinks(std::move(target), link_error);
    if (target_.empty()) {
        Fail(Step::Create, link_error);
        return;
    }
    if (const std::error_code refused = RefusalFor(KindAt(target_))) {
        Fail(Step::Target, refused);
        return;
    }
    int err = 0;
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        temp_ = TemporaryNameFor(target_, attempt);
        // Fail rather than reuse a file someone else created.
        err = atomic_file::CreateNew(temp_, fd_);
        if (err != EEXIST)
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
        atomic_file::Close(fd_);
    if (!committed_ && !temp_.empty())
        atomic_file::Remove(temp_);
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
        const long long n = atomic_file::WriteSome(fd_, p, count);
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
    const int sync_error = atomic_file::SyncToDisk(fd_);
    const int close_error = atomic_file::Close(fd_);
    fd_ = -1;
    if (sync_error != 0)
        return Fail(Step::Write, sync_error);
    if (close_error != 0)
        return Fail(Step::Write, close_error);
    if (const std::error_code replaced = atomic_file::Replace(temp_, target_))
        return Fail(Step::Replace, replaced);
    committed_ = true;
    return true;
}

bool WriteFileAtomically(const fs::path& target, const void* bytes, size_t size) {
    AtomicFileWriter writer(target);
    return writer.opened() && writer.Write(bytes, size) && writer.Commit();
}

}  // namespace korvane
