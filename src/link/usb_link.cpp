#include "link/usb_link.h"

namespace korvane {

void UsbLink::Open(const LinkSettings& settings) {
    open_error_ = {};
    transfer_error_ = {};
    path_ = settings.usb_device;
    if (path_.empty()) {
        const auto found = ListUsbDevices();
        if (!found.empty())
            path_ = found.front();
    }
    if (path_.empty()) {
        open_error_ = {DeviceErrorKind::NoDevice, "no USB device (" + UsbDeviceSearchPlace() + ")"};
        ctx_.Set(LinkResult::OpenFailed);
        return;
    }
    if (!device_.Open(path_)) {
        open_error_ = device_.error();
        ctx_.Set(LinkResult::OpenFailed);
    }
}

bool UsbLink::UsbWrite(const uint8_t* request, uint16_t length, uint32_t timeout_ms) {
    if (!device_.IsOpen()) {
        ctx_.Set(LinkResult::IoError);
        return false;
    }
    ctx_.NoteSent(request, length);
    // A finished write leaves the result alone: the read decides it.
    switch (device_.Write(request, length, ctx_.Scaled(timeout_ms))) {
        case UsbDevice::Transfer::Done:
            return true;
        case UsbDevice::Transfer::TimedOut:
            ctx_.Set(LinkResult::Timeout);
            return false;
        case UsbDevice::Transfer::Failed:
            transfer_error_ = device_.error();
            ctx_.Set(LinkResult::IoError);
            return false;
    }
    return false;
}

void UsbLink::Exchange(const uint8_t* request, uint16_t length, const ExchangeTimeouts& t) {
    UsbWrite(request, length, t.usb_ms);
    ReadReply(t.usb_ms);
}

ReplyReceipt UsbLink::TakeReply(uint32_t timeout_ms) {
    if (!device_.IsOpen())
        return ReplyReceipt::ReadFailed;
    size_t got = 0;
    switch (device_.Read(ctx_.reply.data(), kUsbReplyMax, timeout_ms, &got)) {
        case UsbDevice::Transfer::Done:
            break;
        case UsbDevice::Transfer::TimedOut:
            return ReplyReceipt::TimedOut;
        case UsbDevice::Transfer::Failed:
            transfer_error_ = device_.error();
            return ReplyReceipt::ReadFailed;
    }
    ctx_.NoteReceived(ctx_.reply.data(), got);
    ctx_.reply_length = got;
    // The check counts only the bytes that came: a reply cut at 500 bytes
    // must not borrow its tail from an older reply still in the buffer.
    return ValidateReply(ctx_.reply, got) ? ReplyReceipt::Frame : ReplyReceipt::BadFrame;
}

const LinkProperties& UsbLink::properties() const {
    // The panel takes no erase or programming over USB.
    static constexpr LinkProperties kProperties{
        .packet_size = 500,
        .packet_pause_ms = 0,
        .programs = false,
        .erase_answer_final = false,
        .resend_lost_reply = true,
        .reply_lost_text = TextId::Timeout,
        .replies_may_repeat = false,
        .read_failure_shown = false,
    };
    return kProperties;
}

}  // namespace korvane
