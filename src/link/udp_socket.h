#pragma once
// The platform's datagram socket, kept to the few calls the UDP link needs.
// One implementation per platform (udp_socket_posix.cpp here).
#include <cstddef>
#include <cstdint>
#include <string>

#include "system/native_handle.h"

namespace korvane {

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
    // Bytes received (0 for an empty datagram), or -1 on failure.
    long Receive(uint8_t* buffer, size_t capacity);

  private:
    NativeHandle fd_ = kNoHandle;  // a descriptor, or a SOCKET on Windows
    uint32_t dest_addr_ = 0;       // network byte order
    uint16_t dest_port_ = 0;       // network byte order
};

}  // namespace korvane
