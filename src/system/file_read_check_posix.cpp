#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "system/file_read_check.h"

namespace korvane {

std::error_code CheckReadable(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {errno, std::system_category()};
    struct stat st {};
    const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    ::close(fd);
    if (folder)
        return std::make_error_code(std::errc::is_a_directory);
    return {};
}

}  // namespace korvane
