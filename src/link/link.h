#pragma once
// What every link offers, in the manner of a transport table: one
// implementation per link kind (UDP, serial, USB, none), picked once when the
// link opens. Above src/link/ only this interface is seen.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "link/device_error.h"
#include "link/link_context.h"
#include "link/link_settings.h"
#include "link/texts.h"

namespace korvane {

// How one reply came in, before anyone judged it or told the user.
enum class ReplyReceipt {
    Frame,        // a whole reply whose block check holds
    BadFrame,     // a whole reply whose block check fails
    TimedOut,     // no whole reply within the time-out
    WaitFailed,   // waiting for the reply failed (network)
    ReadFailed,   // the read itself failed, or there is nothing to read from
    Empty,        // an empty datagram: the peer closed
    Unavailable,  // the port is not open
    Cancelled,    // the run was cancelled while waiting
};

// Waits for a reply are cut into slices this long, so that a cancel is
// heard soon whatever the time-out.
inline constexpr uint32_t kWaitSliceMs = 100;

// The time-outs of one exchange on each kind of link; each link takes its
// own. The serial read may wait longer than its write.
struct ExchangeTimeouts {
    uint32_t udp_ms;
    uint32_t serial_write_ms;
    uint32_t serial_read_ms;
    uint32_t usb_ms;

    static constexpr ExchangeTimeouts All(uint32_t ms) { return {ms, ms, ms, ms}; }
};

// What differs between links for erase and programming runs.
struct LinkProperties {
    int32_t packet_size;  // flash-data payload bytes per request
    uint32_t
        packet_pause_ms;      // quiet time after an acknowledged packet and before the final result
    bool programs;            // erase and programming runs may use the link
    bool erase_answer_final;  // the erase reply says how the erase went (else the panel
                              // goes on erasing after it answers)
    bool resend_lost_reply;   // a packet whose reply stays away is sent again (else the
                              // reply is read for again: a byte stream keeps what it has)
    TextId reply_lost_text;   // shown when a packet's reply stays away six times
    bool replies_may_repeat;  // replies come whole and may come late or twice (datagrams)
    bool read_failure_shown;  // a failed read is shown to the user (else only the result)
};

class Link {
  public:
    explicit Link(LinkContext& ctx) : ctx_(ctx) {}
    virtual ~Link() = default;
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Sets OpenFailed when the link cannot be had; each link says what it must.
    virtual void Open(const LinkSettings& settings) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // Sends the request and takes one reply into the reply buffer; the
    // outcome stays in the context's result.
    virtual void Exchange(const uint8_t* request, uint16_t length, const ExchangeTimeouts& t) = 0;
    // Writes one data packet within `timeout_ms`; false when the write
    // failed, with the reason in the result.
    virtual bool Write(const uint8_t* request, uint16_t length, uint32_t timeout_ms) = 0;
    // Whether the last Write ran out of time before the whole packet left
    // (the result stays Ok: the caller decides whether to write again).
    virtual bool write_timed_out() const { return false; }
    // Takes one reply into the reply buffer and says how it came; shows
    // nothing and leaves the result alone.
    virtual ReplyReceipt TakeReply(uint32_t timeout_ms) = 0;
    // Throws away replies already waiting (late or repeated ones), so that
    // the next reply taken belongs to the next request. Returns how many.
    virtual size_t DiscardPending() { return 0; }
    // A byte link drops what follows a reply in the same read; while this is
    // on it keeps those bytes for the next TakeReply instead (a panel's final
    // result may arrive on the heels of the last acknowledgement).
    virtual void KeepFollowingBytes(bool) {}
    // Whether the last reply taken was made of bytes kept that way, so it
    // was there before anyone waited for it.
    virtual bool reply_was_kept() const { return false; }

    virtual const LinkProperties& properties() const = 0;
    // Why the last Open failed (kind None when it did not, or cannot tell).
    virtual const DeviceError& open_error() const;
    // Why the open device failed since (it went away, the system refused a
    // transfer); kind None when it did not, or cannot tell.
    virtual const DeviceError& transfer_error() const;

    // TakeReply in slices: Cancelled as soon as a cancel is pending, and the
    // long wait under way (if any) is told how long it may still take. With
    // `only_command`, sound replies for any other command are passed over and
    // the wait goes on.
    ReplyReceipt TakeReplyWatched(uint32_t timeout_ms,
                                  std::optional<uint8_t> only_command = std::nullopt);
    // Reads one reply: TakeReplyWatched, then Judge.
    void ReadReply(uint32_t timeout_ms) { Judge(TakeReplyWatched(timeout_ms)); }
    // Turns a receipt into the result, telling the user what this link tells.
    void Judge(ReplyReceipt receipt);

  protected:
    LinkContext& ctx_;
};

// The link of any mode other than the three named ones: nothing opens,
// nothing is sent, and the result stays as it was.
class NoLink : public Link {
  public:
    using Link::Link;
    void Open(const LinkSettings&) override {}
    void Close() override {}
    bool IsOpen() const override { return false; }
    void Exchange(const uint8_t*, uint16_t, const ExchangeTimeouts&) override {}
    bool Write(const uint8_t*, uint16_t, uint32_t) override { return true; }
    ReplyReceipt TakeReply(uint32_t) override { return ReplyReceipt::TimedOut; }
    const LinkProperties& properties() const override;
};

}  // namespace korvane
