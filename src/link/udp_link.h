#pragma once
// Link mode 1: each request is one datagram to the panel, each reply one
// datagram from the address and port the request went to; datagrams from
// anyone else are passed over.
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/link.h"
#include "link/udp_socket.h"

namespace korvane {

// The configured address keeps its first octet in the low byte.
std::string DottedAddress(uint32_t address);

inline constexpr LinkProperties kUdpProperties{
    .packet_size = 1024,
    .packet_pause_ms = 0,
    .programs = true,
    .erase_answer_final = false,
    .resend_lost_reply = true,
    .reply_lost_text = TextId::Timeout,
    .replies_may_repeat = true,
    .read_failure_shown = true,
};

class UdpLink : public Link {
  public:
    using Link::Link;

    // Aims a socket at the settings' address and port. Sets OpenFailed when
    // no socket can be had; says nothing itself.
    void Open(const LinkSettings& settings) override;
    void Close() override { socket_.Close(); }
    bool IsOpen() const override { return socket_.IsOpen(); }

    // Sends the request and, when it left, takes one reply.
    void Exchange(const uint8_t* request, uint16_t length, const ExchangeTimeouts& t) override;
    bool Write(const uint8_t* request, uint16_t length, uint32_t) override {
        return Send(request, length);
    }
    // One datagram from the panel; anything in it after the declared frame
    // is not looked at.
    ReplyReceipt TakeReply(uint32_t timeout_ms) override;
    size_t DiscardPending() override;
    const LinkProperties& properties() const override;

    // Sends one datagram; shows "发送数据失败" and sets IoError on failure.
    bool Send(const uint8_t* request, uint16_t length);

  private:
    // Whether a datagram came from the panel; one that did not is shown to
    // the observer as ignored.
    bool FromPanel(const uint8_t* bytes, long n, const UdpEndpoint& from);

    UdpSocket socket_;
};

}  // namespace korvane
