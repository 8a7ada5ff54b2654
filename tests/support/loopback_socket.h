#pragma once
// A datagram socket of the test's own on a loopback address, standing in for
// a panel or for a stranger who answers in its place (POSIX only).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

class LoopbackSocket {
  public:
    struct Datagram {
        std::vector<uint8_t> bytes;
        sockaddr_in from{};
    };

    // Bound to `address` (host order, e.g. 0x7F000002 for 127.0.0.2) on a
    // free port; ok() says whether that worked.
    explicit LoopbackSocket(uint32_t address) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(address);
        socklen_t length = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
            return;
        port_ = ntohs(a.sin_port);
    }
    ~LoopbackSocket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    bool ok() const { return port_ != 0; }
    uint16_t port() const { return port_; }

    // One datagram within `timeout_ms`, or nothing.
    std::optional<Datagram> Receive(int timeout_ms) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeout_ms) != 1)
            return std::nullopt;
        Datagram d;
        d.bytes.resize(65536);
        socklen_t length = sizeof d.from;
        const ssize_t n = ::recvfrom(fd_, d.bytes.data(), d.bytes.size(), 0,
                                     reinterpret_cast<sockaddr*>(&d.from), &length);
        if (n < 0)
            return std::nullopt;
        d.bytes.resize(static_cast<size_t>(n));
        return d;
    }

    bool SendTo(const std::vector<uint8_t>& bytes, const sockaddr_in& to) {
        return ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                        sizeof to) == static_cast<ssize_t>(bytes.size());
    }

  private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

}  // namespace korvane::testing
