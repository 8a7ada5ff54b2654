#pragma once
// The platform's serial port, kept to the few calls the serial link needs.
// One implementation per platform (serial_port_posix.cpp here: termios).
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/device_error.h"
#include "link/serial_config.h"
#include "system/descriptor_write.h"
#include "system/native_handle.h"

namespace korvane {

class SerialPort {
  public:
    using Transfer = DeviceTransfer;

    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the device for reading and writing, for this process alone where
    // the platform allows. On failure error() says why.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ != kNoHandle; }
    // Why the last open, check or transfer failed (the path and the
    // system's words).
    const DeviceError& error() const { return error_; }

    // Reads the port's settings and, when `baud` is one of kSupportedBauds,
    // sets that rate; any other rate keeps the port's own. False when the
    // settings cannot be read or written.
    bool ApplyRate(uint32_t baud);
    // Raw 8-bit bytes, the parity and stop bits of `config`, no flow control
    // of any kind, receiver on, modem lines ignored. False when refused or
    // when the parity or stop-bit kind is unknown.
    bool ApplyLine(const SerialConfig& config);
    // The rate the port runs at now, 0 when it cannot be told.
    uint32_t CurrentRate() const;
    // Checks that the port still answers before a transfer (an adapter that
    // was unplugged does not).
    bool ClearErrors();

    // Writes all bytes within `timeout_ms`.
    Transfer Write(const uint8_t* bytes, size_t length, uint32_t timeout_ms);
    // One chunk: returns when `capacity` bytes have arrived, when more than
    // `gap_ms` pass between two bytes, or when `timeout_ms` have passed in
    // all. Bytes read (0 when none came), or -1 when the read failed.
    long Read(uint8_t* buffer, size_t capacity, uint32_t timeout_ms, uint32_t gap_ms);

  private:
    NativeHandle fd_ = kNoHandle;  // a descriptor, or a HANDLE on Windows
    std::string path_;
    DeviceError error_;
};

}  // namespace korvane
