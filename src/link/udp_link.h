#pragma once
// Link mode 1: each request is one datagram to the panel, each reply one
// datagram from anywhere.
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/link_context.h"
#include "link/udp_socket.h"

namespace korvane {

// The configured address keeps its first octet in the low byte.
std::string DottedAddress(uint32_t address);

class UdpLink {
  public:
    enum class Receipt { Datagram, WaitFailed, TimedOut, ReceiveFailed, Empty };

    explicit UdpLink(LinkContext& ctx) : ctx_(ctx) {}

    // Sets OpenFailed when no socket can be had; says nothing itself.
    void Open(uint32_t address, uint16_t port);
    void Close() { socket_.Close(); }
    bool IsOpen() const { return socket_.IsOpen(); }

    // Sends the request and takes one reply into the reply buffer.
    void Exchange(const uint8_t* request, uint16_t length, uint32_t timeout_us);

    // Waits for one datagram without sending anything and places it in the
    // reply buffer; the caller decides what each receipt means to the user.
    Receipt ReceiveOne(uint32_t timeout_us);

    // Sends one datagram; shows "发送数据失败" and sets IoError on failure.
    bool Send(const uint8_t* request, uint16_t length);

    // Throws away datagrams already waiting (late or repeated replies), so
    // that the next reply taken belongs to the next request. Returns how many.
    size_t DiscardPending();

  private:
    LinkContext& ctx_;
    UdpSocket socket_;
};

}  // namespace korvane
