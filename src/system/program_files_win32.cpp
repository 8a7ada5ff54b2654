#include <windows.h>

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include "system/program_files.h"

namespace korvane {

namespace fs = std::filesystem;

fs::path RunningExecutable() {
    // The name may be longer than MAX_PATH (long-path aware systems): grow
    // the buffer until the whole name fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return fs::path(std::wstring(buffer.data(), n));
        if (buffer.size() >= 32768)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

fs::path UserConfigFolder() {
    if (const wchar_t* appdata = _wgetenv(L"APPDATA"); appdata && *appdata)
        return fs::path(appdata) / "korvane";
    if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local && *local)
        return fs::path(local) / "korvane";
    return fs::temp_directory_path() / "korvane";
}

fs::path UserDataFolder() {
    if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local && *local)
        return fs::path(local) / "korvane";
    if (const wchar_t* appdata = _wgetenv(L"APPDATA"); appdata && *appdata)
        return fs::path(appdata) / "korvane";
    return fs::temp_directory_path() / "korvane";
}

bool CanWriteFolder(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return false;
    // The folder's rights are access lists, which only a try answers: create
    // a file that the system removes again when it is closed.
    wchar_t name[MAX_PATH];
    if (!GetTempFileNameW(folder.c_str(), L"kvw", 0, name))
        return false;
    const HANDLE h = CreateFileW(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DeleteFileW(name);
        return false;
    }
    CloseHandle(h);
    return true;
}

}  // namespace korvane
