#pragma once
// Whether a file can be opened for reading, with the system's own reason when
// it cannot (permission denied, not a directory, ...), so that a front end can
// say more than "not found".
#include <filesystem>
#include <system_error>

namespace korvane {

// No error when `path` is a regular file this process may open for reading.
// A folder gives the error "is a directory"; a FIFO, a device or a socket
// gives a FileRefusal naming it, at once (the check never blocks on a FIFO
// with no writer).
std::error_code CheckReadable(const std::filesystem::path& path);

// For a file that is measured before it is read (an image whose size and sum
// are announced first): CheckReadable, and a FileRefusal::SizeUnknown when
// its size reads 0 yet it yields bytes.
std::error_code CheckMeasurable(const std::filesystem::path& path);

}  // namespace korvane
