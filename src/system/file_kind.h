#pragma once
// What sits at a path, and why a file operation refuses what is no regular
// file: a device or a FIFO written over would be destroyed, and one read
// from may block or never end. The refusal travels as an error code whose
// message says what the thing is ("is a FIFO"), so that every caller that
// already reports an error's message names it without further work.
#include <filesystem>
#include <system_error>

namespace korvane {

enum class FileKind {
    Missing,  // nothing there (or it cannot be looked at)
    Regular,
    Folder,
    CharacterDevice,
    BlockDevice,
    Fifo,
    Socket,
    Other,
};

enum class FileRefusal {
    Folder = 1,
    CharacterDevice,
    BlockDevice,
    Fifo,
    Socket,
    NotRegular,
    // Reads as empty yet yields bytes (files under /proc): it cannot be
    // measured, summed and announced before it is sent.
    SizeUnknown,
};

const std::error_category& FileRefusalCategory();
std::error_code MakeErrorCode(FileRefusal refusal);
// The refusal for what is no regular file; no error for a regular file or
// for nothing at all.
std::error_code RefusalFor(FileKind kind);

// What `path` names, symbolic links followed. One implementation per
// platform.
FileKind KindAt(const std::filesystem::path& path);
#ifndef _WIN32
// The kind a POSIX file mode (st_mode) names.
FileKind KindOfMode(unsigned mode);
#endif

}  // namespace korvane
