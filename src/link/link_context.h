#pragma once
// State that the link manager shares with whichever link is active: the
// outcome of the last step, the stream parser, the reply buffer and the sinks.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "link/frame.h"
#include "link/link_result.h"
#include "link/message_sink.h"
#include "link/reply_parser.h"

namespace korvane {

// Sees every frame that leaves and every chunk of bytes that arrives (for
// tracing); called on the thread that runs the exchange.
class FrameObserver {
  public:
    virtual ~FrameObserver() = default;
    virtual void OnSent(std::span<const uint8_t> bytes) = 0;
    virtual void OnReceived(std::span<const uint8_t> bytes) = 0;
    // A datagram from `sender`, someone other than the panel, passed over.
    virtual void OnIgnored(std::span<const uint8_t>, std::string_view /*sender*/) {}
};

// The shortest a shrunk wait for a reply becomes (see ScaledWait).
inline constexpr uint32_t kShrunkWaitFloorMs = 30;

struct LinkContext {
    explicit LinkContext(MessageSink& s) : sink(&s) {}

    MessageSink* sink;
    // Read by the user-interface thread while a worker runs an exchange.
    std::atomic<LinkResult> result{LinkResult::Ok};
    ReplyParser parser;
    FrameBuffer reply{};
    size_t reply_length = 0;  // bytes of the last reply placed in `reply`
    FrameObserver* observer = nullptr;
    // Cancel asked for (the Cancel button), or a flag set from elsewhere (a
    // signal handler); every wait for a reply looks at both in short slices.
    std::atomic<bool> cancel{false};
    std::atomic<const std::atomic<bool>*> cancel_flag{nullptr};
    // The long wait under way, told to `wait_sink` while it lasts.
    std::optional<WaitFor> wait_for;
    ProgressSink* wait_sink = nullptr;
    // Every time-out and pause of the links and runs is divided by this. It
    // is 1 in every program; only tests shrink it (LinkManager::
    // ShrinkTimeForTests), so that thousands of runs with lost replies fit
    // in minutes.
    std::atomic<uint32_t> time_divisor{1};

    // `ms` as this context counts time; a time-out that was not 0 stays
    // above 0.
    uint32_t Scaled(uint32_t ms) const {
        const uint32_t d = time_divisor.load();
        return d <= 1 ? ms : (ms + d - 1) / d;
    }
    // A wait for a reply shrinks too, but not below what a busy machine's
    // scheduler can keep to: a shorter one would test the scheduler, not
    // the link.
    uint32_t ScaledWait(uint32_t ms) const {
        const uint32_t d = time_divisor.load();
        if (d <= 1)
            return ms;
        return std::max(Scaled(ms), std::min(ms, kShrunkWaitFloorMs));
    }

    bool CancelPending() const {
        const std::atomic<bool>* flag = cancel_flag.load();
        return cancel.load() || (flag && flag->load());
    }

    void Set(LinkResult r) { result.store(r); }
    LinkResult Get() const { return result.load(); }
    // A failure the user must hear about: shown first, then recorded.
    void Fail(LinkResult r, TextId text) {
        sink->ShowText(MessageKind::Error, text);
        result.store(r);
    }
    void NoteSent(const uint8_t* bytes, size_t n) {
        if (observer)
            observer->OnSent({bytes, n});
    }
    void NoteReceived(const uint8_t* bytes, size_t n) {
        if (observer)
            observer->OnReceived({bytes, n});
    }
    void NoteIgnored(const uint8_t* bytes, size_t n, std::string_view sender) {
        if (observer)
            observer->OnIgnored({bytes, n}, sender);
    }
};

}  // namespace korvane
