#include "link/usb_link.h"

#include "link/texts.h"

namespace korvane {

void UsbLink::Open(const LinkSettings& settings) {
    open_error_ = {};
    path_ = settings.usb_device;
    if (path_.empty()) {
        const auto found = ListUsbDevices();
        if (!found.empty())
            path_ = found.front();
    }
    if (path_.empty()) {
        open_error_ = {DeviceErrorKind::NoDevice,
                       std::string("no USB device (") + kUsbDevicePrefix + "N)"};
        ctx_.Set(LinkResult::OpenFailed);
        return;
    }
    if (!device_.Open(path_)) {
        open_error_ = device_.error();
        ctx_.Set(LinkResult::OpenFailed);
    }
}

void UsbLink::UsbWrite(const uint8_t* request, uint16_t length, uint32_t timeout_ms) {
    if (!device_.IsOpen()) {
        ctx_.Set(LinkResult::IoError);
        return;
    }
    ctx_.NoteSent(request, length);
    // A finished write leaves the result alone: the read decides it.
    switch (device_.Write(request, length, timeout_ms)) {
        case UsbDevice::Transfer::Done:
            break;
        case UsbDevice::Transfer::TimedOut:
            ctx_.Set(LinkResult::Timeout);
            break;
        case UsbDevice::Transfer::Failed:
            ctx_.Set(LinkResult::IoError);
            break;
    }
}

void UsbLink::UsbRead(uint32_t timeout_ms) {
    if (!device_.IsOpen()) {
        ctx_.Set(LinkResult::IoError);
        return;
    }
    size_t got = 0;
    switch (device_.Read(ctx_.reply.data(), kUsbReplyMax, timeout_ms, &got)) {
        case UsbDevice::Transfer::Done:
            break;
        case UsbDevice::Transfer::TimedOut:
            ctx_.Set(LinkResult::Timeout);
            return;
        case UsbDevice::Transfer::Failed:
            ctx_.Set(LinkResult::IoError);
            return;
    }
    ctx_.NoteReceived(ctx_.reply.data(), got);
    ctx_.reply_length = got;
    // The check counts only the bytes that came: a reply cut at 500 bytes
    // must not borrow its tail from an older reply still in the buffer.
    if (ValidateReply(ctx_.reply, got)) {
        ctx_.Set(LinkResult::Ok);
    } else {
        ctx_.Fail(LinkResult::ChecksumError, TextId::ChecksumError);
    }
}

}  // namespace korvane
