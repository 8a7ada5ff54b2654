#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "link/udp_socket.h"

namespace korvane {

UdpSocket::~UdpSocket() {
    Close();
}

bool UdpSocket::Open(const std::string& dotted, uint16_t port) {
    Close();
    in_addr addr{};
    // An unparsable text leaves the destination at 255.255.255.255, as the
    // classic dotted-quad conversion does; the send then fails and says so.
    if (inet_pton(AF_INET, dotted.c_str(), &addr) != 1)
        addr.s_addr = INADDR_NONE;
    dest_addr_ = addr.s_addr;
    dest_port_ = htons(port);
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return fd_ >= 0;
}

void UdpSocket::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool UdpSocket::Send(const uint8_t* bytes, size_t length) {
    if (fd_ < 0)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = dest_port_;
    to.sin_addr.s_addr = dest_addr_;
    ssize_t sent;
    do {
        sent = ::sendto(fd_, bytes, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(length);
}

UdpSocket::Wait UdpSocket::WaitReadable(uint32_t timeout_us) {
    if (fd_ < 0)
        return Wait::Failed;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::microseconds(timeout_us);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
        // Round up so that a wait never ends before its time.
        const int ms = left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
        pollfd p{fd_, POLLIN, 0};
        const int n = ::poll(&p, 1, ms);
        if (n > 0)
            return (p.revents & (POLLIN | POLLERR)) ? Wait::Readable : Wait::Failed;
        if (n == 0)
            return Wait::TimedOut;
        // A signal (Ctrl-C handling, a debugger) is not a network failure.
        if (errno != EINTR)
            return Wait::Failed;
    }
}

long UdpSocket::Receive(uint8_t* buffer, size_t capacity) {
    if (fd_ < 0)
        return -1;
    ssize_t n;
    do {
        n = ::recvfrom(fd_, buffer, capacity, 0, nullptr, nullptr);
    } while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

}  // namespace korvane
