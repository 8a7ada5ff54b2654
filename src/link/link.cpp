#include "link/link.h"

#include "link/udp_link.h"

namespace korvane {

const DeviceError& Link::open_error() const {
    static const DeviceError kNone;
    return kNone;
}

void Link::Judge(ReplyReceipt receipt) {
    switch (receipt) {
        case ReplyReceipt::Frame:
            ctx_.Set(LinkResult::Ok);
            return;
        case ReplyReceipt::BadFrame:
            ctx_.Fail(LinkResult::ChecksumError, TextId::ChecksumError);
            return;
        case ReplyReceipt::TimedOut:
            ctx_.Set(LinkResult::Timeout);
            return;
        case ReplyReceipt::WaitFailed:
            ctx_.Fail(LinkResult::NetworkError, TextId::NetworkProblem);
            return;
        case ReplyReceipt::ReadFailed:
            if (properties().read_failure_shown) {
                ctx_.Fail(LinkResult::IoError, TextId::ReadFailed);
            } else {
                ctx_.Set(LinkResult::IoError);
            }
            return;
        case ReplyReceipt::Empty:
            ctx_.Fail(LinkResult::IoError, TextId::PeerClosed);
            return;
        case ReplyReceipt::Unavailable:
            ctx_.Set(LinkResult::OpenFailed);
            return;
    }
}

const LinkProperties& NoLink::properties() const {
    // Sized as the network link; no run gets past its first exchange.
    return kUdpProperties;
}

}  // namespace korvane
