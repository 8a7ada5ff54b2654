#include <windows.h>

#include "link/serial_port.h"
#include "system/wide_text.h"

namespace korvane {

namespace {

HANDLE AsHandle(NativeHandle h) {
    return reinterpret_cast<HANDLE>(h);
}

// The driver's queues, as large as the biggest packet the link sends.
constexpr DWORD kQueueBytes = 4096;

}  // namespace

SerialPort::~SerialPort() {
    Close();
}

bool SerialPort::Open(const std::string& path) {
    Close();
    error_ = {};
    path_ = path;
    // Not shared: a second program on the same port would steal reply bytes.
    // Synchronous: every transfer is bounded by the port's own time-outs.
    const HANDLE h = CreateFileW(WideText(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error_ = LastDeviceError(path);
        return false;
    }
    fd_ = reinterpret_cast<NativeHandle>(h);
    // A driver that keeps its own queue sizes still works.
    (void)SetupComm(h, kQueueBytes, kQueueBytes);
    return true;
}

void SerialPort::Close() {
    if (fd_ != kNoHandle)
        CloseHandle(AsHandle(fd_));
    fd_ = kNoHandle;
}

bool SerialPort::ApplyRate(uint32_t baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (fd_ == kNoHandle || !GetCommState(AsHandle(fd_), &dcb))
        return false;
    if (!IsSupportedBaud(baud))
        return true;
    dcb.BaudRate = baud;
    return SetCommState(AsHandle(fd_), &dcb) != 0;
}

uint32_t SerialPort::CurrentRate() const {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (fd_ == kNoHandle || !GetCommState(AsHandle(fd_), &dcb))
        return 0;
    return IsSupportedBaud(dcb.BaudRate) ? dcb.BaudRate : 0;
}

bool SerialPort::ApplyLine(const SerialConfig& config) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (fd_ == kNoHandle || !GetCommState(AsHandle(fd_), &dcb))
        return false;
    dcb.ByteSize = 8;
    dcb.fBinary = TRUE;
    switch (static_cast<SerialParity>(config.parity)) {
        case SerialParity::None:
            dcb.Parity = NOPARITY;  // the parity check stays as the port had it
            break;
        case SerialParity::Odd:
            dcb.Parity = ODDPARITY;
            dcb.fParity = TRUE;
            break;
        case SerialParity::Even:
            dcb.Parity = EVENPARITY;
            dcb.fParity = TRUE;
            break;
        case SerialParity::Mark:
            dcb.Parity = MARKPARITY;
            dcb.fParity = TRUE;
            break;
        case SerialParity::Space:
            dcb.Parity = SPACEPARITY;
            dcb.fParity = TRUE;
            break;
        default:
            return false;
    }
    if (config.stop_bits == 1 || config.stop_bits == 2) {
        dcb.StopBits = TWOSTOPBITS;
    } else if (config.stop_bits == kOneStopBit) {
        dcb.StopBits = ONESTOPBIT;
    } else {
        return false;
    }
    // No flow control of any kind; DTR and RTS low, the panel's port uses
    // neither. After a line error the driver fails transfers until
    // ClearErrors() clears it, which happens before every transfer.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = TRUE;
    return SetCommState(AsHandle(fd_), &dcb) != 0;
}

bool SerialPort::ClearErrors() {
    DWORD errors = 0;
    COMSTAT status{};
    if (fd_ == kNoHandle)
        return false;
    if (ClearCommError(AsHandle(fd_), &errors, &status))
        return true;
    error_ = LastDeviceError(path_);
    return false;
}

SerialPort::Transfer SerialPort::Write(const uint8_t* bytes, size_t length, uint32_t timeout_ms) {
    if (fd_ == kNoHandle)
        return Transfer::Failed;
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = 1;
    t.WriteTotalTimeoutConstant = timeout_ms;
    DWORD written = 0;
    if (!SetCommTimeouts(AsHandle(fd_), &t) ||
        !WriteFile(AsHandle(fd_), bytes, static_cast<DWORD>(length), &written, nullptr)) {
        error_ = LastDeviceError(path_);
        return Transfer::Failed;
    }
    return written == length ? Transfer::Done : Transfer::TimedOut;
}

long SerialPort::Read(uint8_t* buffer, size_t capacity, uint32_t timeout_ms, uint32_t gap_ms) {
    if (fd_ == kNoHandle)
        return -1;
    // The driver does the chunk's timing: the read ends when `capacity`
    // bytes are in, when the line is quiet for longer than `gap_ms` after a
    // byte, or when `timeout_ms` have passed in all.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = gap_ms;
    t.ReadTotalTimeoutConstant = timeout_ms;
    if (!SetCommTimeouts(AsHandle(fd_), &t)) {
        error_ = LastDeviceError(path_);
        return -1;
    }
    DWORD got = 0;
    if (!ReadFile(AsHandle(fd_), buffer, static_cast<DWORD>(capacity), &got, nullptr)) {
        error_ = LastDeviceError(path_);
        return got > 0 ? static_cast<long>(got) : -1;
    }
    return static_cast<long>(got);
}

}  // namespace korvane
