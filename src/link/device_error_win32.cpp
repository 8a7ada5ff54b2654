#include <windows.h>

#include "link/device_error.h"
#include "system/wide_text.h"

namespace korvane {

DeviceError LastDeviceError(const std::string& path) {
    const DWORD err = GetLastError();
    DeviceErrorKind kind = DeviceErrorKind::Other;
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_NAME:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_BAD_UNIT:
            kind = DeviceErrorKind::NoDevice;
            break;
        case ERROR_ACCESS_DENIED:
            // What Windows answers when another program has the COM port
            // open: ports are not shared.
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            kind = DeviceErrorKind::Busy;
            break;
        default:
            break;
    }
    wchar_t* words = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, err, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
    std::wstring text = n && words ? std::wstring(words, n) : L"error " + std::to_wstring(err);
    if (words)
        LocalFree(words);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return {kind, path + ": " + Utf8Text(text)};
}

}  // namespace korvane
