#pragma once
// Link mode 3: frames to the panel's USB interface. A request is written in
// one piece; a reply is read in one piece of at most 500 bytes and then
// block-checked, so a longer reply is never taken. Apart from a bad block
// check, nothing here shows a message: outcomes go to the link result only.
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/device_error.h"
#include "link/link.h"
#include "link/link_settings.h"
#include "link/usb_device.h"

namespace korvane {

inline constexpr size_t kUsbReplyMax = 500;

class UsbLink : public Link {
  public:
    using Link::Link;

    // Opens the device the settings name (usb_device), else the first one
    // ListUsbDevices() finds. Sets OpenFailed and says nothing on failure.
    void Open(const LinkSettings& settings) override;
    void Close() override { device_.Close(); }
    bool IsOpen() const override { return device_.IsOpen(); }

    // Writes the request, then reads one reply; the read's outcome stays.
    void Exchange(const uint8_t* request, uint16_t length, const ExchangeTimeouts& t) override;
    bool Write(const uint8_t* request, uint16_t length, uint32_t timeout_ms) override {
        return UsbWrite(request, length, timeout_ms);
    }
    ReplyReceipt TakeReply(uint32_t timeout_ms) override;
    const LinkProperties& properties() const override;

    // Without an open device both set IoError.
    bool UsbWrite(const uint8_t* request, uint16_t length, uint32_t timeout_ms);
    void UsbRead(uint32_t timeout_ms) { ReadReply(timeout_ms); }

    const std::string& device_path() const { return path_; }
    const DeviceError& open_error() const override { return open_error_; }
    const DeviceError& transfer_error() const override { return transfer_error_; }

  private:
    UsbDevice device_;
    std::string path_;
    DeviceError open_error_;
    DeviceError transfer_error_;
};

}  // namespace korvane
