#include "link/udp_link.h"

#include <algorithm>

#include "link/texts.h"

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

void UdpLink::Open(uint32_t address, uint16_t port) {
    if (!socket_.Open(DottedAddress(address), port))
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

UdpLink::Receipt UdpLink::ReceiveOne(uint32_t timeout_us) {
    switch (socket_.WaitReadable(timeout_us)) {
        case UdpSocket::Wait::Failed:
            return Receipt::WaitFailed;
        case UdpSocket::Wait::TimedOut:
            return Receipt::TimedOut;
        case UdpSocket::Wait::Readable:
            break;
    }
    FrameBuffer area{};  // cleared, so nothing of an older datagram shows through
    const long n = socket_.Receive(area.data(), area.size());
    if (n < 0)
        return Receipt::ReceiveFailed;
    ctx_.NoteReceived(area.data(), static_cast<size_t>(n));
    if (n == 0)
        return Receipt::Empty;
    const auto count = static_cast<size_t>(n);
    std::copy_n(area.begin(), count, ctx_.reply.begin());
    ctx_.reply_length = count;
    return Receipt::Datagram;
}

size_t UdpLink::DiscardPending() {
    size_t count = 0;
    while (socket_.WaitReadable(0) == UdpSocket::Wait::Readable) {
        FrameBuffer area{};
        const long n = socket_.Receive(area.data(), area.size());
        if (n < 0)
            break;
        ctx_.NoteReceived(area.data(), static_cast<size_t>(n));
        ++count;
    }
    return count;
}

void UdpLink::Exchange(const uint8_t* request, uint16_t length, uint32_t timeout_us) {
    if (!Send(request, length))
        return;
    switch (ReceiveOne(timeout_us)) {
        case Receipt::WaitFailed:
            ctx_.Fail(LinkResult::NetworkError, TextId::NetworkProblem);
            return;
        case Receipt::TimedOut:
            ctx_.Set(LinkResult::Timeout);
            return;
        case Receipt::ReceiveFailed:
            ctx_.Fail(LinkResult::IoError, TextId::ReadFailed);
            return;
        case Receipt::Empty:
            ctx_.Fail(LinkResult::IoError, TextId::PeerClosed);
            return;
        case Receipt::Datagram:
            break;
    }
    if (ValidateReply(ctx_.reply, ctx_.reply_length)) {
        ctx_.Set(LinkResult::Ok);
    } else {
        ctx_.Fail(LinkResult::ChecksumError, TextId::ChecksumError);
    }
}

}  // namespace korvane
