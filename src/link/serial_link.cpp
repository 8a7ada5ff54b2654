#include "link/serial_link.h"

#include <array>

#include "link/serial_devices.h"
#include "link/texts.h"

namespace korvane {

void SerialLink::FailOpen(DeviceError error) {
    open_error_ = std::move(error);
    port_.Close();
    ctx_.Set(LinkResult::OpenFailed);
}

void SerialLink::SerialOpen(const LinkSettings& settings) {
    open_error_ = {};
    transfer_error_ = {};
    config_ = SerialConfig{};
    config_.baud = settings.baud;
    if (!settings.serial_device.empty()) {
        config_.port_name = settings.serial_device;
    } else if (auto device = ComPortDevice(settings.com)) {
        config_.port_name = *device;
    }
    if (config_.port_name.empty() || !port_.Open(config_.port_name)) {
        ctx_.sink->ShowText(MessageKind::AppDefault, TextId::SerialOpenFailed);
        FailOpen(config_.port_name.empty()
                     ? DeviceError{DeviceErrorKind::NoDevice,
                                   "no serial device for COM" + std::to_string(settings.com)}
                     : port_.error());
        return;
    }
    // The driver's queues are sized by the system here; nothing to ask for.
    if (!port_.ApplyRate(config_.baud)) {
        FailOpen({DeviceErrorKind::Other, config_.port_name + ": baud rate refused"});
        return;
    }
    if (!port_.ApplyLine(config_)) {
        FailOpen({DeviceErrorKind::Other, config_.port_name + ": line settings refused"});
        return;
    }
}

SerialLink::PortState SerialLink::CheckPort(uint32_t timeout_ms) {
    if (!port_.IsOpen())
        return PortState::Closed;
    if (!port_.ClearErrors()) {
        transfer_error_ = port_.error();
        return PortState::Lost;
    }
    // Both directions keep one time-out: the port does one transfer at a time.
    timeout_ms_ = timeout_ms;
    return PortState::Ready;
}

bool SerialLink::SerialSetTimeouts(Direction direction, uint32_t timeout_ms) {
    switch (CheckPort(timeout_ms)) {
        case PortState::Ready:
            return true;
        case PortState::Closed:
            ctx_.Set(LinkResult::OpenFailed);
            return false;
        case PortState::Lost:
            // An adapter unplugged during the run: the open went well, the
            // transfer did not.
            ctx_.Fail(LinkResult::IoError,
                      direction == Direction::Write ? TextId::SendFailed : TextId::ReadFailed);
            return false;
    }
    return false;
}

bool SerialLink::SerialWrite(const uint8_t* request, uint16_t length, uint32_t timeout_ms) {
    write_timed_out_ = false;
    if (!SerialSetTimeouts(Direction::Write, timeout_ms))
        return false;
    ctx_.NoteSent(request, length);
    // A write cut short by its time-out is not a failure of the port: the
    // panel then does not answer, and the read that follows times out.
    const SerialPort::Transfer t = port_.Write(request, length, ctx_.Scaled(timeout_ms_));
    if (t == SerialPort::Transfer::Failed) {
        transfer_error_ = port_.error();
        ctx_.Fail(LinkResult::IoError, TextId::SendFailed);
        return false;
    }
    write_timed_out_ = t == SerialPort::Transfer::TimedOut;
    return true;
}

void SerialLink::Exchange(const uint8_t* request, uint16_t length, const ExchangeTimeouts& t) {
    SerialWrite(request, length, t.serial_write_ms);
    ReadReply(t.serial_read_ms);
}

namespace {

ReplyReceipt ReceiptOf(ReplyStream::Ended ended) {
    return ended == ReplyStream::Ended::Frame ? ReplyReceipt::Frame : ReplyReceipt::BadFrame;
}

}  // namespace

ReplyReceipt SerialLink::TakeReply(uint32_t timeout_ms) {
    reply_was_kept_ = false;
    switch (CheckPort(timeout_ms)) {
        case PortState::Ready:
            break;
        case PortState::Closed:
            return ReplyReceipt::Unavailable;
        case PortState::Lost:
            return ReplyReceipt::ReadFailed;
    }
    if (const auto ended = stream_.FeedKept(ctx_.parser, ctx_.reply, ctx_.reply_length)) {
        reply_was_kept_ = true;
        return ReceiptOf(*ended);
    }
    size_t fed = 0;
    for (;;) {
        std::array<uint8_t, kSerialChunk> chunk{};
        const long n = port_.Read(chunk.data(), chunk.size(), timeout_ms_, kSerialGapMs);
        if (n < 0) {
            transfer_error_ = port_.error();
            return ReplyReceipt::ReadFailed;
        }
        if (n == 0)
            return ReplyReceipt::TimedOut;
        const auto count = static_cast<size_t>(n);
        ctx_.NoteReceived(chunk.data(), count);
        // Bytes after the end of a frame in the same chunk are dropped,
        // unless the stream was asked to keep them for the next reply.
        if (const auto ended =
                stream_.Feed(ctx_.parser, ctx_.reply, ctx_.reply_length, chunk.data(), count))
            return ReceiptOf(*ended);
        // A line that never stops chattering would otherwise hold the read
        // for ever; treat it as no reply, as a quiet line would be.
        fed += count;
        if (fed > kSerialNoiseLimit)
            return ReplyReceipt::TimedOut;
    }
}

const LinkProperties& SerialLink::properties() const {
    static constexpr LinkProperties kProperties{
        .packet_size = 4000,
        // The panel takes a breath after each packet before the line is
        // used again.
        .packet_pause_ms = 30,
        .programs = true,
        .erase_answer_final = true,
        .resend_lost_reply = false,
        .reply_lost_text = TextId::ReadFailed,
        .replies_may_repeat = false,
        .read_failure_shown = true,
    };
    return kProperties;
}

}  // namespace korvane
