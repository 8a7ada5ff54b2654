#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "system/durable_append.h"

namespace korvane {

std::error_code AppendDurably(const std::filesystem::path& path, std::string_view line) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return {errno, std::generic_category()};
    std::error_code ec;
    ssize_t written = 0;
    do {
        written = ::write(fd, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0)
        ec = {errno, std::generic_category()};
    else if (static_cast<size_t>(written) != line.size())
        ec = std::make_error_code(std::errc::no_space_on_device);
    if (!ec && ::fsync(fd) != 0)
        ec = {errno, std::generic_category()};
    if (::close(fd) != 0 && !ec)
        ec = {errno, std::generic_category()};
    return ec;
}

}  // namespace korvane
