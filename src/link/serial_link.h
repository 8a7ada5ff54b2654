#pragma once
// Link mode 2: frames over a serial port. The port is opened and set up at
// OpenLink, written and read synchronously, and replies are reassembled byte
// by byte by the stream parser, in chunks of at most 20 bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/device_error.h"
#include "link/link.h"
#include "link/link_settings.h"
#include "link/reply_stream.h"
#include "link/serial_config.h"
#include "link/serial_port.h"

namespace korvane {

inline constexpr size_t kSerialChunk = 20;   // bytes per read at most
inline constexpr uint32_t kSerialGapMs = 1;  // a quiet line for longer ends a chunk
// Bytes one read may take without the parser finishing a frame: a frame is
// at most 5200 bytes, so beyond twice that the line carries only noise.
inline constexpr size_t kSerialNoiseLimit = 2 * kFrameMax;

class SerialLink : public Link {
  public:
    enum class Direction : int { Read = 0, Write = 1 };

    using Link::Link;

    // Opens the device that `settings` names (serial_device, else COM `com`
    // through serial_devices.h) at its baud rate, 8 data bits, no parity, one
    // stop bit. A device that does not open shows "打开串口失败" in the
    // application's default box; a port that opens but refuses its settings
    // shows nothing. Both leave OpenFailed and no port.
    void SerialOpen(const LinkSettings& settings);
    void Open(const LinkSettings& settings) override { SerialOpen(settings); }
    void Close() override {
        port_.Close();
        KeepFollowingBytes(false);
    }
    bool IsOpen() const override { return port_.IsOpen(); }

    // Writes the request, then reads one reply even when the write failed:
    // the read's outcome is the one that stays.
    void Exchange(const uint8_t* request, uint16_t length, const ExchangeTimeouts& t) override;
    bool Write(const uint8_t* request, uint16_t length, uint32_t timeout_ms) override {
        return SerialWrite(request, length, timeout_ms);
    }
    bool write_timed_out() const override { return write_timed_out_; }
    // Reads until one reply frame ends, each chunk waiting up to `timeout_ms`.
    // The reply lands in the reply buffer without its checksum byte.
    ReplyReceipt TakeReply(uint32_t timeout_ms) override;
    const LinkProperties& properties() const override;
    void KeepFollowingBytes(bool keep) override { stream_.SetKeep(keep); }
    bool reply_was_kept() const override { return reply_was_kept_; }

    // Readies the port for one transfer of at most `timeout_ms`. Sets
    // OpenFailed (and says nothing) when the port is not open; a port that
    // opened and no longer answers was lost: "发送数据失败" or "读取数据失败"
    // by direction, IoError, and transfer_error() says why.
    bool SerialSetTimeouts(Direction direction, uint32_t timeout_ms);
    // Writes the request; shows "发送数据失败", sets IoError and returns
    // false on failure. A write cut short by its time-out is no failure: the
    // result stays Ok and write_timed_out() says so (only the flash transfer
    // counts these).
    bool SerialWrite(const uint8_t* request, uint16_t length, uint32_t timeout_ms);
    // Reads one reply and leaves its outcome, with its message, in the result.
    void SerialRead(uint32_t timeout_ms) { ReadReply(timeout_ms); }

    const SerialConfig& config() const { return config_; }
    // Why the last SerialOpen failed (kind None after a good open).
    const DeviceError& open_error() const override { return open_error_; }
    const DeviceError& transfer_error() const override { return transfer_error_; }
    // The rate the open port runs at (0 when closed or unknown).
    uint32_t CurrentRate() const { return port_.CurrentRate(); }

  private:
    enum class PortState { Ready, Closed, Lost };

    void FailOpen(DeviceError error);
    // Whether a transfer may go: Closed when the port never opened, Lost
    // (with transfer_error() set) when it opened and stopped answering.
    PortState CheckPort(uint32_t timeout_ms);

    SerialPort port_;
    SerialConfig config_;
    DeviceError open_error_;
    DeviceError transfer_error_;
    uint32_t timeout_ms_ = 0;
    bool write_timed_out_ = false;
    bool reply_was_kept_ = false;
    ReplyStream stream_;
};

}  // namespace korvane
