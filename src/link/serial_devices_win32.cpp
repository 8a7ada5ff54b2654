#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "link/serial_devices.h"

namespace korvane {

namespace {

// "COM12" → 12; 0 for any other device name.
unsigned ComNumberOf(const wchar_t* name) {
    if (std::wcsncmp(name, L"COM", 3) != 0 || !name[3])
        return 0;
    unsigned n = 0;
    for (const wchar_t* p = name + 3; *p; ++p) {
        if (!std::iswdigit(*p) || n > 100000)
            return 0;
        n = n * 10 + static_cast<unsigned>(*p - L'0');
    }
    return n;
}

}  // namespace

std::vector<ComPort> ListComPorts() {
    // Every device name the system knows, NUL-separated; the COM ports are
    // among them.
    std::vector<wchar_t> names(16384);
    while (QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size())) == 0) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() > (1u << 22))
            return {};
        names.resize(names.size() * 2);
    }
    std::vector<ComPort> ports;
    for (const wchar_t* p = names.data(); *p; p += std::wcslen(p) + 1) {
        if (const unsigned n = ComNumberOf(p))
            ports.push_back({n, *ComPortDevice(n)});
    }
    std::sort(ports.begin(), ports.end(),
              [](const ComPort& a, const ComPort& b) { return a.number < b.number; });
    ports.erase(
        std::unique(ports.begin(), ports.end(),
                    [](const ComPort& a, const ComPort& b) { return a.number == b.number; }),
        ports.end());
    return ports;
}

std::optional<std::string> ComPortDevice(unsigned com) {
    if (com == 0)
        return std::nullopt;
    // The device namespace form also reaches COM10 and above.
    return "\\\\.\\COM" + std::to_string(com);
}

}  // namespace korvane
