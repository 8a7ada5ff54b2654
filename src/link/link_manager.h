#pragma once
// The one place that knows which link is in use: the configured mode picks
// one Link when the link opens, and everything after goes through it. A link
// cycle is ResetLink, OpenLink, the exchanges, CloseLink; every step leaves
// its outcome in result(), which callers test after each call.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "link/link.h"
#include "link/link_context.h"
#include "link/link_settings.h"

namespace korvane {

class LinkManager {
  public:
    explicit LinkManager(MessageSink& sink);
    ~LinkManager();
    LinkManager(const LinkManager&) = delete;
    LinkManager& operator=(const LinkManager&) = delete;

    // The configured link; read again at every OpenLink.
    void Configure(const LinkSettings& settings) { settings_ = settings; }
    const LinkSettings& settings() const { return settings_; }

    void ResetLink();
    void OpenLink();
    void CloseLink();
    // Sends a request on the active link and takes one reply. On the serial
    // link the read may wait longer than the write (read_timeout_ms; 0: same).
    // On the byte links the read runs even after a failed write, and its
    // outcome is the one that stays.
    void Exchange(const uint8_t* request, uint16_t length, uint32_t timeout_ms,
                  uint32_t read_timeout_ms = 0);
    // The same with a time-out for each kind of link; the active one takes its own.
    void Exchange(const uint8_t* request, uint16_t length, const ExchangeTimeouts& timeouts) {
        active().Exchange(request, length, timeouts);
    }

    LinkResult result() const { return ctx_.Get(); }
    void set_result(LinkResult r) { ctx_.Set(r); }
    // A failure the user must hear about: shown first, then recorded.
    void Fail(LinkResult r, TextId text) { ctx_.Fail(r, text); }
    LinkMode active_mode() const { return mode_.load(); }
    // Picks the link of the configured mode without opening it (the flash
    // operations look at its properties before they open it).
    void TakeConfiguredMode();
    // The link picked last (the no-link when the mode names none).
    Link& active() { return *active_.load(); }
    const Link& active() const { return *active_.load(); }
    const LinkProperties& properties() const { return active().properties(); }
    // Whether the mode names a link at all.
    bool linked() const { return active_.load() != &none_; }
    // Why the last OpenLink failed, as far as the link can tell.
    const DeviceError& open_error() const { return active().open_error(); }
    // Why the open device failed during the exchanges, as far as it can tell.
    const DeviceError& transfer_error() const { return active().transfer_error(); }
    bool IsOpen() const { return active().IsOpen(); }
    // Cancel: every wait for a reply ends within a slice with RunCancelled.
    // ResetLink forgets a cancel asked for before the operation began.
    void RequestCancel() { ctx_.cancel.store(true); }
    void ClearCancel() { ctx_.cancel.store(false); }
    // A flag set from elsewhere (a signal handler) that cancels as
    // RequestCancel does; null for none.
    void CancelWhen(const std::atomic<bool>* flag) { ctx_.cancel_flag.store(flag); }
    bool CancelPending() const { return ctx_.CancelPending(); }

    // Names the long wait that the next replies belong to, for `sink`, until
    // the scope ends.
    class WaitScope {
      public:
        WaitScope(LinkManager& link, WaitFor what, ProgressSink& sink) : ctx_(link.ctx_) {
            ctx_.wait_for = what;
            ctx_.wait_sink = &sink;
        }
        ~WaitScope() {
            ctx_.wait_for.reset();
            ctx_.wait_sink = nullptr;
        }
        WaitScope(const WaitScope&) = delete;
        WaitScope& operator=(const WaitScope&) = delete;

      private:
        LinkContext& ctx_;
    };

    // Test hook only: divides every time-out and pause of the links and of
    // the runs on them by `divisor` (1 restores the real ones); a wait for
    // a reply stays at least kShrunkWaitFloorMs. No program calls it.
    void ShrinkTimeForTests(uint32_t divisor) { ctx_.time_divisor.store(divisor ? divisor : 1); }
    // `ms` as the links count it (the value itself unless a test shrank time).
    uint32_t Scaled(uint32_t ms) const { return ctx_.Scaled(ms); }

    // How many times a link was really released; a run closes exactly once.
    unsigned close_count() const { return close_count_.load(); }

    FrameBuffer& reply() { return ctx_.reply; }
    const FrameBuffer& reply() const { return ctx_.reply; }
    size_t reply_length() const { return ctx_.reply_length; }
    // Puts back a reply kept aside, as if it had been the last one taken.
    void RestoreReply(const FrameBuffer& reply, size_t length) {
        ctx_.reply = reply;
        ctx_.reply_length = length;
    }
    MessageSink& sink() { return *ctx_.sink; }
    void SetObserver(FrameObserver* observer) { ctx_.observer = observer; }
    // For the links' own tests.
    LinkContext& context() { return ctx_; }

  private:
    LinkSettings settings_;
    LinkContext ctx_;
    std::atomic<unsigned> close_count_{0};
    NoLink none_;
    // One link per mode, built when the mode is first used and kept until
    // the manager goes: a thread that read active() a moment before a
    // change of mode still holds a live link.
    std::array<std::unique_ptr<Link>, 3> links_;
    std::mutex links_mutex_;  // guards the building of links_
    std::atomic<LinkMode> mode_{LinkMode{0}};
    std::atomic<Link*> active_{&none_};
};

}  // namespace korvane
