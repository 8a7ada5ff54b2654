#pragma once
// The one place that knows which link is in use. A link cycle is
// ResetLink, OpenLink, the exchanges, CloseLink; every step leaves its
// outcome in result(), which callers test after each call.
#include <atomic>
#include <cstdint>

#include "link/link_context.h"
#include "link/link_settings.h"
#include "link/serial_link.h"
#include "link/udp_link.h"
#include "link/usb_link.h"

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

    LinkResult result() const { return ctx_.Get(); }
    void set_result(LinkResult r) { ctx_.Set(r); }
    LinkMode active_mode() const { return active_.load(); }
    // The flash operations take the configured mode before refusing USB.
    void TakeConfiguredMode() { active_.store(settings_.mode); }
    bool IsOpen() const;
    // How many times a link was really released; a run closes exactly once.
    unsigned close_count() const { return close_count_.load(); }

    FrameBuffer& reply() { return ctx_.reply; }
    const FrameBuffer& reply() const { return ctx_.reply; }
    size_t reply_length() const { return ctx_.reply_length; }
    MessageSink& sink() { return *ctx_.sink; }
    void SetObserver(FrameObserver* observer) { ctx_.observer = observer; }
    LinkContext& context() { return ctx_; }

    UdpLink& udp() { return udp_; }
    SerialLink& serial() { return serial_; }
    UsbLink& usb() { return usb_; }

  private:
    LinkSettings settings_;
    LinkContext ctx_;
    std::atomic<LinkMode> active_{LinkMode{0}};
    std::atomic<unsigned> close_count_{0};
    UdpLink udp_;
    SerialLink serial_;
    UsbLink usb_;
};

}  // namespace korvane
