#include "link/udp_link.h"

#include <algorithm>
#include <chrono>

namespace korvane {

std::string DottedAddress(uint32_t address) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (i)
            text += '.';
        text += std::to_string((address >> (8 * i)) & 0xFF);
    }
    return text;
}

const LinkProperties& UdpLink::properties() const {
    return kUdpProperties;
}

void UdpLink::Open(const LinkSettings& settings) {
    if (!socket_.Open(DottedAddress(settings.address), settings.port))
        ctx_.Set(LinkResult::OpenFailed);
}

bool UdpLink::Send(const uint8_t* request, uint16_t length) {
    ctx_.NoteSent(request, length);
    if (!socket_.Send(request, length)) {
        ctx_.Fail(LinkResult::IoError, TextId::SendFailed);
        return false;
    }
    return true;
}

bool UdpLink::FromPanel(const uint8_t* bytes, long n, const UdpEndpoint& from) {
    if (from == socket_.peer())
        return true;
    // Anyone who sees the request could answer it; only the panel's own
    // address and port speak for the panel.
    ctx_.NoteIgnored(bytes, n < 0 ? 0 : static_cast<size_t>(n), from.Text());
    return false;
}

ReplyReceipt UdpLink::TakeReply(uint32_t timeout_ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now()).count();
        switch (socket_.WaitReadable(left <= 0 ? 0 : static_cast<uint32_t>(left))) {
            case UdpSocket::Wait::Failed:
                return ReplyReceipt::WaitFailed;
            case UdpSocket::Wait::TimedOut:
                return ReplyReceipt::TimedOut;
            case UdpSocket::Wait::Readable:
                break;
        }
        FrameBuffer area{};  // cleared, so nothing of an older datagram shows through
        UdpEndpoint from;
        const long n = socket_.Receive(area.data(), area.size(), from);
        if (n < 0)
            return ReplyReceipt::ReadFailed;
        if (!FromPanel(area.data(), n, from))
            continue;  // as if it never came: the wait goes on
        ctx_.NoteReceived(area.data(), static_cast<size_t>(n));
        if (n == 0)
            return ReplyReceipt::Empty;
        const auto count = static_cast<size_t>(n);
        std::copy_n(area.begin(), count, ctx_.reply.begin());
        ctx_.reply_length = count;
        return ValidateReply(ctx_.reply, count) ? ReplyReceipt::Frame : ReplyReceipt::BadFrame;
    }
}

size_t UdpLink::DiscardPending() {
    size_t count = 0;
    while (socket_.WaitReadable(0) == UdpSocket::Wait::Readable) {
        FrameBuffer area{};
        UdpEndpoint from;
        const long n = socket_.Receive(area.data(), area.size(), from);
        if (n < 0)
            break;
        if (!FromPanel(area.data(), n, from))
            continue;
        ctx_.NoteReceived(area.data(), static_cast<size_t>(n));
        ++count;
    }
    return count;
}

void UdpLink::Exchange(const uint8_t* request, uint16_t length, const ExchangeTimeouts& t) {
    if (!Send(request, length))
        return;
    ReadReply(t.udp_ms);
}

}  // namespace korvane
