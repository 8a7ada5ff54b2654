#pragma once
// The platform's datagram socket, kept to the few calls the UDP link needs.
// One implementation per platform (udp_socket_posix.cpp here).
#include <cstddef>
#include <cstdint>
#include <string>

#include "system/native_handle.h"

namespace korvane {

// An IPv4 address and port in host byte order (first octet in the high byte).
struct UdpEndpoint {
    uint32_t address = 0;
    uint16_t port = 0;

    bool operator==(const UdpEndpoint&) const = default;
    // "192.168.0.100:21845".
    std::string Text() const {
        return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
               std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF) + ":" +
               std::to_string(port);
    }
};

class UdpSocket {
  public:
    enum class Wait { Readable, TimedOut, Failed };

    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Creates an unbound IPv4 datagram socket aimed at `dotted`:`port`. No
    // socket option is set, broadcast permission included.
    bool Open(const std::string& dotted, uint16_t port);
    void Close();
    bool IsOpen() const { return fd_ != kNoHandle; }

    bool Send(const uint8_t* bytes, size_t length);
    Wait WaitReadable(uint32_t timeout_us);
    // Bytes received (0 for an empty datagram), or -1 on failure; `from`
    // is where the datagram came from.
    long Receive(uint8_t* buffer, size_t capacity, UdpEndpoint& from);
    // Where requests go: the one sender whose datagrams are the panel's.
    const UdpEndpoint& peer() const { return peer_; }

  private:
    NativeHandle fd_ = kNoHandle;  // a descriptor, or a SOCKET on Windows
    UdpEndpoint peer_;
};

}  // namespace korvane
