#include <windows.h>

#include <cwctype>
#include <string>

#include "system/file_kind.h"

namespace korvane {

namespace {

// CON, NUL, COM1 and the like name a device in every folder, whatever
// follows a dot ("NUL.txt" is the null device too).
bool IsDeviceName(const std::filesystem::path& path) {
    std::wstring name = path.filename().wstring();
    name = name.substr(0, name.find(L'.'));
    while (!name.empty() && (name.back() == L' ' || name.back() == L':'))
        name.pop_back();
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towupper(c));
    if (name == L"CON" || name == L"PRN" || name == L"AUX" || name == L"NUL" || name == L"CONIN$" ||
        name == L"CONOUT$")
        return true;
    return name.size() == 4 && (name.rfind(L"COM", 0) == 0 || name.rfind(L"LPT", 0) == 0) &&
           name[3] >= L'0' && name[3] <= L'9';
}

}  // namespace

FileKind KindAt(const std::filesystem::path& path) {
    if (IsDeviceName(path))
        return FileKind::CharacterDevice;
    // No access asked for: only the kind is looked at. Backup semantics let a
    // folder open too.
    const HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FileKind::Missing;
    FileKind kind = FileKind::Other;
    switch (GetFileType(h)) {
        case FILE_TYPE_CHAR:
            kind = FileKind::CharacterDevice;
            break;
        case FILE_TYPE_PIPE:
            kind = FileKind::Fifo;
            break;
        case FILE_TYPE_DISK: {
            BY_HANDLE_FILE_INFORMATION info{};
            if (GetFileInformationByHandle(h, &info)) {
                kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Folder
                                                                          : FileKind::Regular;
            }
            break;
        }
        default:
            break;
    }
    CloseHandle(h);
    return kind;
}

}  // namespace korvane
