#include <windows.h>

// This builds on windows.h.
#include <setupapi.h>

#include <vector>

#include "link/usb_device.h"
#include "system/wide_text.h"

namespace korvane {

namespace {

// The device interface class of the panel's USB interface.
constexpr GUID kPanelInterface = {
    0xe53ff293, 0x92ee, 0x464c, {0xaa, 0x29, 0xb1, 0x6b, 0x54, 0x8b, 0xa0, 0xb4}};

HANDLE AsHandle(NativeHandle h) {
    return reinterpret_cast<HANDLE>(h);
}

// The path of one interface of the set, or nothing when the system will not
// say: asked once for the size, then for the record.
std::string InterfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* iface) {
    DWORD size = 0;
    SetupDiGetDeviceInterfaceDetailW(set, iface, nullptr, 0, &size, nullptr);
    if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
        return {};
    std::vector<unsigned char> buffer(size);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    // The size of the fixed part, as this build's layout has it.
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(set, iface, detail, size, nullptr, nullptr))
        return {};
    return Utf8Text(detail->DevicePath);
}

// Starts an overlapped transfer and waits for it up to `timeout_ms`. A
// transfer still running then is cancelled, and waited for, so that the
// buffer is free again when this returns.
DeviceTransfer Overlapped(HANDLE h, bool write, void* buffer, DWORD length, uint32_t timeout_ms,
                          DWORD* done) {
    *done = 0;
    OVERLAPPED ov{};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!ov.hEvent)
        return DeviceTransfer::Failed;
    const BOOL started = write ? WriteFile(h, buffer, length, nullptr, &ov)
                               : ReadFile(h, buffer, length, nullptr, &ov);
    DeviceTransfer result = DeviceTransfer::Done;
    DWORD error = ERROR_SUCCESS;
    if (!started && (error = GetLastError()) != ERROR_IO_PENDING) {
        result = DeviceTransfer::Failed;
    } else if (WaitForSingleObject(ov.hEvent, timeout_ms) != WAIT_OBJECT_0) {
        CancelIoEx(h, &ov);
        DWORD ignored = 0;
        GetOverlappedResult(h, &ov, &ignored, TRUE);
        result = DeviceTransfer::TimedOut;
    } else if (!GetOverlappedResult(h, &ov, done, TRUE)) {
        error = GetLastError();
        result = DeviceTransfer::Failed;
    }
    CloseHandle(ov.hEvent);
    // The caller asks the system why a transfer failed.
    if (result == DeviceTransfer::Failed)
        SetLastError(error);
    return result;
}

}  // namespace

std::vector<std::string> ListUsbDevices() {
    std::vector<std::string> paths;
    const HDEVINFO set = SetupDiGetClassDevsW(&kPanelInterface, nullptr, nullptr,
                                              DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return paths;
    SP_DEVICE_INTERFACE_DATA iface{};
    iface.cbSize = sizeof iface;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &kPanelInterface, i, &iface); ++i) {
        if (std::string path = InterfacePath(set, &iface); !path.empty())
            paths.push_back(std::move(path));
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

std::string UsbDeviceSearchPlace() {
    return "interface class {E53FF293-92EE-464C-AA29-B16B548BA0B4}";
}

UsbDevice::~UsbDevice() {
    Close();
}

bool UsbDevice::Open(const std::string& path) {
    Close();
    error_ = {};
    path_ = path;
    const HANDLE h = CreateFileW(WideText(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error_ = LastDeviceError(path);
        return false;
    }
    fd_ = reinterpret_cast<NativeHandle>(h);
    return true;
}

void UsbDevice::Close() {
    if (fd_ != kNoHandle)
        CloseHandle(AsHandle(fd_));
    fd_ = kNoHandle;
}

UsbDevice::Transfer UsbDevice::Write(const uint8_t* bytes, size_t length, uint32_t timeout_ms) {
    if (fd_ == kNoHandle)
        return Transfer::Failed;
    DWORD done = 0;
    // The request goes in one piece; the device takes it whole or not at all.
    const Transfer t = Overlapped(AsHandle(fd_), true, const_cast<uint8_t*>(bytes),
                                  static_cast<DWORD>(length), timeout_ms, &done);
    if (t == Transfer::Failed)
        error_ = LastDeviceError(path_);
    if (t == Transfer::Done && done != length) {
        error_ = {DeviceErrorKind::Other, path_ + ": the device took part of the request"};
        return Transfer::Failed;
    }
    return t;
}

UsbDevice::Transfer UsbDevice::Read(uint8_t* buffer, size_t capacity, uint32_t timeout_ms,
                                    size_t* got) {
    *got = 0;
    if (fd_ == kNoHandle)
        return Transfer::Failed;
    DWORD done = 0;
    const Transfer t =
        Overlapped(AsHandle(fd_), false, buffer, static_cast<DWORD>(capacity), timeout_ms, &done);
    if (t == Transfer::Failed)
        error_ = LastDeviceError(path_);
    if (t != Transfer::Done)
        return t;
    if (done == 0) {
        error_ = DeviceGoneError(path_);
        return Transfer::Failed;
    }
    *got = done;
    return t;
}

}  // namespace korvane
