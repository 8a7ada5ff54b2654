#include "link/link.h"

#include <algorithm>
#include <chrono>

#include "link/udp_link.h"

namespace korvane {

namespace {

const DeviceError kNoDeviceError;

}  // namespace

const DeviceError& Link::open_error() const {
    return kNoDeviceError;
}

const DeviceError& Link::transfer_error() const {
    return kNoDeviceError;
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
        case ReplyReceipt::Cancelled:
            ctx_.Set(LinkResult::RunCancelled);
            return;
    }
}

ReplyReceipt Link::TakeReplyWatched(uint32_t timeout_ms, std::optional<uint8_t> only_command) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ctx_.ScaledWait(timeout_ms));
    for (;;) {
        if (ctx_.CancelPending())
            return ReplyReceipt::Cancelled;
        const auto now = Clock::now();
        const auto left = static_cast<uint32_t>(
            now >= deadline ? 0
                            : std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count());
        if (ctx_.wait_for && ctx_.wait_sink)
            ctx_.wait_sink->Waiting(*ctx_.wait_for, left);
        const uint32_t slice = std::min(left, kWaitSliceMs);
        const ReplyReceipt receipt = TakeReply(slice);
        if (receipt == ReplyReceipt::Frame && only_command &&
            ctx_.reply[frame_offset::kCommand] != *only_command)
            continue;
        if (receipt != ReplyReceipt::TimedOut || slice == left)
            return receipt;
    }
}

const LinkProperties& NoLink::properties() const {
    // Sized as the network link; no run gets past its first exchange.
    return kUdpProperties;
}

}  // namespace korvane
