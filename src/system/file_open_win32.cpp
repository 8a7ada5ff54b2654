#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "system/file_open.h"

namespace korvane {

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
    const std::wstring wide_mode(mode, mode + std::char_traits<char>::length(mode));
    std::FILE* file = _wfopen(path.c_str(), wide_mode.c_str());
    // A folder is "permission denied" here; say what POSIX says, which
    // tells the user more.
    struct _stat64 st {};
    if (!file && errno == EACCES && _wstat64(path.c_str(), &st) == 0 && (st.st_mode & _S_IFDIR))
        errno = EISDIR;
    return file;
}

}  // namespace korvane
