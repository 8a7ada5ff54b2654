#include <windows.h>

#include "system/durable_append.h"
#include "system/win32_error.h"

namespace korvane {

std::error_code AppendDurably(const std::filesystem::path& path, std::string_view line) {
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end,
    // whatever another writer did meanwhile.
    const HANDLE file =
        CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Win32ErrorCode(GetLastError());
    std::error_code ec;
    DWORD written = 0;
    if (!WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        ec = Win32ErrorCode(GetLastError());
    else if (written != line.size())
        ec = std::make_error_code(std::errc::no_space_on_device);
    if (!ec && !FlushFileBuffers(file))
        ec = Win32ErrorCode(GetLastError());
    CloseHandle(file);
    return ec;
}

}  // namespace korvane
