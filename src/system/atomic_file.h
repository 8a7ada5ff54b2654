#pragma once
// Replacing a file whole or not at all. The bytes go to a temporary file of
// a name no other writer uses, beside the target (so that the rename stays on
// one file system); it is flushed to the disk and then renamed over the
// target, and the folder is synced so that the new name survives a power cut.
// A failure at any step leaves the previous file (or none) and removes the
// temporary one.
//
// Only a regular file is ever replaced: a device, a FIFO or a folder in the
// target's place is refused before anything is created (renaming over
// /dev/null would destroy it). A symbolic link is followed and the file it
// names replaced, so that the link stays.
#include <cstddef>
#include <filesystem>
#include <system_error>

namespace korvane {

class AtomicFileWriter {
  public:
    // Where a failure happened.
    // Target: the target is no regular file; error() says what it is.
    enum class Step { None, Target, Create, Write, Replace };

    // Creates the temporary file beside `target` (beside the file a link
    // names); opened() tells whether it could.
    explicit AtomicFileWriter(std::filesystem::path target);
    // Removes the temporary file unless Commit() renamed it.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool opened() const { return fd_ >= 0; }
    bool Write(const void* bytes, size_t count);
    // Flushes and closes the temporary file and renames it over the target.
    bool Commit();

    // The first failure: its step and the system's reason.
    Step failed_step() const { return failed_step_; }
    const std::error_code& error() const { return error_; }

  private:
    bool Fail(Step step, int err);
    bool Fail(Step step, std::error_code error);

    std::filesystem::path target_;
    std::filesystem::path temp_;
    int fd_ = -1;
    bool committed_ = false;
    Step failed_step_ = Step::None;
    std::error_code error_;
};

// One call for a buffer already in memory; false when any step failed.
bool WriteFileAtomically(const std::filesystem::path& target, const void* bytes, size_t size);

}  // namespace korvane
