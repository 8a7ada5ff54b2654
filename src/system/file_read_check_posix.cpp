#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "system/file_kind.h"
#include "system/file_read_check.h"

namespace korvane {

namespace {

// Opens without blocking (a FIFO with no writer would wait for one) and
// refuses what is no regular file; the descriptor is left open for a look
// at the content.
std::error_code OpenRegular(const std::filesystem::path& path, int& fd, struct stat& st) {
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {errno, std::system_category()};
    if (::fstat(fd, &st) != 0)
        return {errno, std::system_category()};
    const FileKind kind = KindOfMode(st.st_mode);
    if (kind == FileKind::Folder)
        return std::make_error_code(std::errc::is_a_directory);
    return RefusalFor(kind);
}

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

}  // namespace

std::error_code CheckReadable(const std::filesystem::path& path) {
    Descriptor d;
    struct stat st {};
    return OpenRegular(path, d.fd, st);
}

std::error_code CheckMeasurable(const std::filesystem::path& path) {
    Descriptor d;
    struct stat st {};
    if (const std::error_code ec = OpenRegular(path, d.fd, st))
        return ec;
    if (st.st_size != 0)
        return {};
    char byte;
    ssize_t n;
    do {
        n = ::read(d.fd, &byte, 1);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return {errno, std::system_category()};
    return n > 0 ? MakeErrorCode(FileRefusal::SizeUnknown) : std::error_code{};
}

}  // namespace korvane
