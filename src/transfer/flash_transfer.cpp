#include "transfer/flash_transfer.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <limits>
#include <system_error>
#include <thread>
#include <vector>

#include "link/texts.h"
#include "protocol/command_codes.h"
#include "protocol/requests.h"
#include "system/file_read_check.h"
#include "transfer/image_checksum.h"
#include "transfer/image_kind.h"

namespace korvane {

void FlashTransfer::Pause(uint32_t ms) {
    const uint32_t scaled = link_.Scaled(ms);
    if (scaled > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(scaled));
}

LinkResult FlashTransfer::PrepareImageFile(ImageKind kind) {
    const int32_t packet_size = link_.properties().packet_size;
    if (!FindImageKind(kind)) {
        packet_size_ = packet_size;
        link_.set_result(LinkResult::Ok);
        return LinkResult::Ok;
    }
    measured_time_.reset();
    std::error_code ec;
    uintmax_t size = 0;
    std::filesystem::file_time_type time;
    if (image_) {
        size = image_->bytes().size();
    } else {
        // Checked before any stream opens it: a FIFO would block the open, and
        // a file whose size reads 0 yet has bytes cannot be announced.
        ec = CheckMeasurable(image_path_);
        size = ec ? 0 : std::filesystem::file_size(image_path_, ec);
        time = ec ? std::filesystem::file_time_type()
                  : std::filesystem::last_write_time(image_path_, ec);
        if (ec || !std::ifstream(image_path_)) {
            link_.set_result(LinkResult::FileError);
            return LinkResult::FileError;
        }
    }
    // The size travels as a signed 32-bit count and the end address as a
    // 32-bit address: an image beyond either would wrap on the wire.
    const uint64_t end = uint64_t{ImageStartAddress(kind)} + size;
    if (size > uintmax_t{std::numeric_limits<int32_t>::max()} ||
        end > std::numeric_limits<uint32_t>::max()) {
        link_.sink().ShowText(MessageKind::Error, TextId::ImageTooLarge);
        link_.set_result(LinkResult::FileError);
        return LinkResult::FileError;
    }
    const auto sum = image_ ? image_->checksum() : ImageChecksum(image_path_);
    if (!sum) {
        link_.set_result(LinkResult::FileError);
        return LinkResult::FileError;
    }
    packet_size_ = packet_size;
    file_size_ = static_cast<int32_t>(size);
    packet_count_ = file_size_ / packet_size_;
    checksum_ = *sum;
    // Bytes in memory cannot change: nothing to compare with later.
    if (!image_)
        measured_time_ = time;
    link_.set_result(LinkResult::Ok);
    return LinkResult::Ok;
}

bool FlashTransfer::StillAsMeasured() const {
    if (!measured_time_)
        return true;
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(image_path_, ec);
    if (ec || size != static_cast<uintmax_t>(file_size_))
        return false;
    const auto time = std::filesystem::last_write_time(image_path_, ec);
    return !ec && time == *measured_time_;
}

void FlashTransfer::StopChanged() {
    link_.Fail(LinkResult::ImageChanged, TextId::ImageChanged);
}

void FlashTransfer::SendFlashPrepare(ImageKind kind) {
    if (!link_.properties().programs) {
        link_.set_result(LinkResult::PanelRefused);
        return;
    }
    const uint32_t start = ImageStartAddress(kind);
    const uint16_t length = BuildFlashPrepare(request_, kind, start,
                                              start + static_cast<uint32_t>(file_size_), checksum_);
    // An empty image has no data: its final result follows this reply.
    link_.active().KeepFollowingBytes(file_size_ == 0);
    link_.Exchange(request_.data(), length, kFlashPrepareTimeoutMs);
}

bool FlashTransfer::CancelRequested() {
    const bool flagged = cancel_flag_ && cancel_flag_->load();
    if (cancel_.load() != 1 && !flagged && !link_.CancelPending())
        return false;
    link_.CloseLink();
    ClearCancel();
    link_.set_result(LinkResult::RunCancelled);
    return true;
}

bool FlashTransfer::WritePacket(uint16_t length) {
    for (int timeouts = 0;;) {
        ++packets_sent_;
        if (!link_.active().Write(request_.data(), length, kPacketTimeoutMs))
            return false;
        // A write cut short is written again; the panel never saw all of it.
        if (!link_.active().write_timed_out())
            return true;
        if (++timeouts == kPacketAttempts) {
            link_.sink().ShowText(MessageKind::Error, TextId::SendFailed);
            link_.set_result(LinkResult::Timeout);
            return false;
        }
    }
}

void FlashTransfer::AbsorbRepeats(int owed) {
    // Nothing else is asked meanwhile: whatever comes within a packet's
    // time-out answers a copy. Left in, those answers would pass for the
    // next packets' acknowledgements, and in the end one would pass for the
    // final result of a last packet that was lost. A copy that was lost
    // costs one time-out.
    Link& link = link_.active();
    for (; owed > 0; --owed) {
        const ReplyReceipt r = link.TakeReplyWatched(kPacketTimeoutMs);
        if (r != ReplyReceipt::Frame && r != ReplyReceipt::BadFrame)
            return;
    }
}

FlashTransfer::Sent FlashTransfer::SendPacket(uint16_t length, bool last) {
    Link& link = link_.active();
    const LinkProperties& p = link.properties();
    int sends = 0;  // copies of this packet written
    int heard = 0;  // replies taken for them
    for (int lost = 0;;) {
        // A late or repeated reply to an earlier request would otherwise be
        // taken for this packet's acknowledgement, and in the end for the
        // final burn result.
        link.DiscardPending();
        if (!WritePacket(length))
            return Sent::Stop;
        ++sends;
        for (;;) {
            const ReplyReceipt receipt = link.TakeReplyWatched(kPacketTimeoutMs);
            if (receipt == ReplyReceipt::Frame || receipt == ReplyReceipt::BadFrame)
                ++heard;
            // The last acknowledgement damaged where replies never repeat (a
            // byte stream): the panel most likely has the packet and burns
            // the image. Sent again, it would bring a second acknowledgement
            // no one could tell from the final result; stopping would fail a
            // run the panel may well have burnt. The final wait decides.
            if (last && receipt == ReplyReceipt::BadFrame && !p.replies_may_repeat) {
                last_damaged_ = true;
                last_reply_at_ = std::chrono::steady_clock::now();
                return Sent::Acknowledged;
            }
            // A datagram that arrives damaged is as good as lost: the packet
            // goes again (the panel writes the same bytes at the same place,
            // and its final result judges the whole image), where a byte
            // stream, which has no way to tell a copy from the final result,
            // stops.
            const bool damaged = receipt == ReplyReceipt::BadFrame && p.resend_lost_reply;
            if (!damaged)
                link.Judge(receipt);
            const LinkResult r = damaged ? LinkResult::Timeout : link_.result();
            if (r == LinkResult::Ok) {
                // The last packet's extra answers come with final results:
                // the final wait sorts those out.
                if (p.replies_may_repeat && !last && sends > heard)
                    AbsorbRepeats(sends - heard);
                last_reply_at_ = std::chrono::steady_clock::now();
                // The pause spares the panel the next packet; after the last
                // nothing is written, and a pause would only leave a quick
                // final result waiting, where it looks like a copy.
                if (!last)
                    Pause(p.packet_pause_ms);
                return Sent::Acknowledged;
            }
            if (r != LinkResult::Timeout)
                return Sent::Stop;
            retried_ = true;
            if (++lost == kPacketAttempts) {
                if (damaged) {
                    link.Judge(receipt);
                } else {
                    link_.sink().ShowText(MessageKind::Error, p.reply_lost_text);
                }
                return Sent::Stop;
            }
            // A datagram lost is gone: send again. A byte stream still
            // carries what it has: read on.
            if (p.resend_lost_reply)
                break;
        }
    }
}

void FlashTransfer::AwaitFinal(ProgressSink& progress) {
    using Clock = std::chrono::steady_clock;
    Link& link = link_.active();
    const LinkProperties& p = link.properties();
    const bool after_damage = last_damaged_;
    // A reply already there when the wait begins (bytes that came with the
    // last acknowledgement, or a datagram waiting) is as hasty as one on
    // its heels. The final result answers the data command: a sound reply
    // to any other command is a stray and never passes for it. After a
    // damaged last acknowledgement, more damage is noise to listen past.
    ReplyReceipt receipt = link.TakeReplyWatched(0, cmd::kFlashData);
    bool waiting =
        receipt == ReplyReceipt::Frame || (receipt == ReplyReceipt::BadFrame && !after_damage);
    if (receipt == ReplyReceipt::TimedOut || (after_damage && receipt == ReplyReceipt::BadFrame)) {
        const LinkManager::WaitScope wait(link_, WaitFor::FinalResult, progress);
        const uint32_t divisor = std::max(1u, link_.context().time_divisor.load());
        const auto limit = Clock::now() + std::chrono::milliseconds(
                                              link_.context().ScaledWait(kFinalResultTimeoutMs));
        uint32_t left_ms = kFinalResultTimeoutMs;
        for (;;) {
            receipt = link.TakeReplyWatched(left_ms, cmd::kFlashData);
            if (!after_damage || receipt != ReplyReceipt::BadFrame)
                break;
            const auto now = Clock::now();
            if (now >= limit) {
                receipt = ReplyReceipt::TimedOut;
                break;
            }
            // What is left of the limit, as the wait counts time.
            left_ms = static_cast<uint32_t>(
                std::chrono::ceil<std::chrono::milliseconds>(limit - now).count() * divisor);
        }
    }
    const auto arrived = Clock::now();
    const bool whole = receipt == ReplyReceipt::Frame || receipt == ReplyReceipt::BadFrame;
    waiting = waiting || link.reply_was_kept();
    if (!whole || (!p.replies_may_repeat && receipt == ReplyReceipt::BadFrame)) {
        // After a damaged last acknowledgement and nothing sound, the damage
        // is what the user hears of, as before.
        if (after_damage && receipt == ReplyReceipt::TimedOut)
            receipt = ReplyReceipt::BadFrame;
        link.Judge(receipt);
        if (link_.result() == LinkResult::Timeout)
            link_.sink().ShowText(MessageKind::Error, TextId::Timeout);
        return;
    }
    // An acknowledgement and a good final result read alike, so a reply that
    // came late or twice shifts every later one by a place, and the last
    // acknowledgement would pass for the final result. The panel sends its
    // final result last, so whatever follows within a quiet spell replaces
    // what came first. A copy may trail its original by more than a
    // scheduler's hiccup with no sign of it beforehand: the short spell is
    // always kept. It is longer when a stray is likely (a datagram sent
    // again, or a "final result" hard on the heels of the last
    // acknowledgement, quicker than any panel sums an image: the real one
    // may follow after the burn).
    bool sound = receipt == ReplyReceipt::Frame;
    FrameBuffer taken = link_.reply();
    size_t taken_length = link_.reply_length();
    const bool hasty = waiting || (last_reply_at_ && arrived - *last_reply_at_ < kHastyFinal);
    uint32_t quiet_ms = hasty ? kBurnQuietMs : kFinalQuietMs;
    if (p.replies_may_repeat && retried_)
        quiet_ms = std::max(kPacketTimeoutMs, quiet_ms);
    while (quiet_ms > 0) {
        const ReplyReceipt later = link.TakeReplyWatched(quiet_ms, cmd::kFlashData);
        if (later == ReplyReceipt::Frame) {
            sound = true;
            taken = link_.reply();
            taken_length = link_.reply_length();
        } else if (later == ReplyReceipt::Cancelled) {
            link.Judge(later);
            return;
        } else if (later != ReplyReceipt::BadFrame) {
            break;
        }
    }
    link_.RestoreReply(taken, taken_length);
    // A final reply that does not add up fails the run without a word of its
    // own; the caller reports the run as failed.
    link_.set_result(sound ? LinkResult::Ok : LinkResult::ChecksumError);
}

void FlashTransfer::SendImageData(ImageKind kind, ProgressSink& progress) {
    packets_sent_ = 0;
    bytes_sent_ = 0;
    sent_hash_ = Sha256();
    retried_ = false;
    last_damaged_ = false;
    last_reply_at_.reset();
    if (!link_.properties().programs) {
        link_.set_result(LinkResult::PanelRefused);
        return;
    }
    // Command exchanges never keep what follows a reply: only the wait for
    // the final result does.
    struct KeepOff {
        Link& link;
        ~KeepOff() { link.KeepFollowingBytes(false); }
    } keep_off{link_.active()};
    std::ifstream in;
    if (!image_) {
        in.open(image_path_, std::ios::binary);
        if (!in) {
            link_.set_result(LinkResult::FileError);
            return;
        }
    }
    // The next `want` bytes of the image into `packet`; how many came.
    const auto read = [&](int64_t at, int64_t want) -> size_t {
        if (!image_) {
            in.read(reinterpret_cast<char*>(packet_.data()), want);
            return static_cast<size_t>(in.gcount());
        }
        const std::span<const uint8_t> all = image_->bytes();
        const size_t n =
            std::min<size_t>(static_cast<size_t>(want), all.size() - static_cast<size_t>(at));
        std::copy_n(all.begin() + at, n, packet_.begin());
        return n;
    };
    // A pass after a failed burn reads the file again: it must still be the
    // file that was announced.
    if (!StillAsMeasured()) {
        StopChanged();
        return;
    }
    uint32_t address = ImageStartAddress(kind);
    int32_t index = 0;
    int64_t position = 0;
    packet_.assign(static_cast<size_t>(packet_size_), 0);
    std::vector<uint8_t>& packet = packet_;
    ImageChecksumAccumulator sent_sum;

    progress.Step();
    if (CancelRequested())
        return;
    for (;;) {
        const int64_t want = index == packet_count_ ? file_size_ - position : packet_size_;
        size_t got = 0;
        if (want > 0)
            got = read(position, want);
        if (got == 0) {
            if (position < file_size_) {
                // The file lost bytes since it was measured (or could not be
                // read): what the panel was promised can no longer be sent.
                if (!image_ && in.bad())
                    link_.Fail(LinkResult::FileError, TextId::ImageReadFailed);
                else
                    StopChanged();
                return;
            }
            break;
        }
        sent_sum.Feed({packet.data(), got});
        const bool last = position + static_cast<int64_t>(got) == file_size_;
        // The panel burns once the last packet is in: before it goes, what
        // this pass sent must add up to the sum announced, and the file be
        // the one measured.
        if (last && (sent_sum.Value() != checksum_ || !StillAsMeasured())) {
            StopChanged();
            return;
        }
        const uint16_t length = BuildFlashData(request_, address, {packet.data(), got});
        sent_hash_.Feed({packet.data(), got});
        bytes_sent_ += got;
        // The last acknowledgement may bring the final result with it.
        if (last)
            link_.active().KeepFollowingBytes(true);
        const Sent sent = SendPacket(length, last);
        if (sent == Sent::Stop)
            return;
        address += static_cast<uint32_t>(got);
        position += static_cast<int64_t>(got);
        ++index;
        if (index > packet_count_)
            break;
        progress.Step();
        if (CancelRequested())
            return;
    }
    AwaitFinal(progress);
}

}  // namespace korvane
