#pragma once
// The platform's side of finding panels: the IPv4 interfaces with their
// broadcast addresses, and a datagram socket that may send to them. Kept
// apart from the link's socket, which never gets broadcast permission.
// One implementation per platform (broadcast_socket_posix.cpp, broadcast_socket_win32.cpp).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "system/native_handle.h"

namespace korvane {

// Addresses in this file are host-order numbers: 192.168.0.1 is 0xC0A80001.
struct InterfaceBroadcast {
    std::string name;
    uint32_t address = 0;
    uint32_t mask = 0;
    uint32_t broadcast = 0;
};

// Every IPv4 interface that is up and has a broadcast address (loopback and
// point-to-point links have none).
std::vector<InterfaceBroadcast> ListBroadcastInterfaces();

class DiscoverySocket {
  public:
    enum class Wait { Readable, TimedOut, Failed };

    DiscoverySocket() = default;
    ~DiscoverySocket();
    DiscoverySocket(const DiscoverySocket&) = delete;
    DiscoverySocket& operator=(const DiscoverySocket&) = delete;

    // Binds to any local address and a free port. Only with `broadcast` may
    // the socket send to a broadcast address; without it such a send fails,
    // which keeps an address sweep to unicast whatever range it is given.
    bool Open(bool broadcast);
    void Close();
    bool IsOpen() const { return fd_ != kNoHandle; }

    bool SendTo(uint32_t address, uint16_t port, const uint8_t* bytes, size_t length);
    Wait WaitReadable(uint32_t timeout_ms);
    // Bytes received (0 for an empty datagram), or -1 on failure; the
    // sender's address and port.
    long ReceiveFrom(uint8_t* buffer, size_t capacity, uint32_t& address, uint16_t& port);
    // The last failure's text, for the user.
    const std::string& error() const { return error_; }

  private:
    NativeHandle fd_ = kNoHandle;
    std::string error_;
};

}  // namespace korvane
