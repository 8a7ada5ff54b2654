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
    peer_ = {ntohl(addr.s_addr), port};
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
    to.sin_port = htons(peer_.port);
    to.sin_addr.s_addr = htonl(peer_.address);
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

long UdpSocket::Receive(uint8_t* buffer, size_t capacity, UdpEndpoint& from) {
    from = {};
    if (fd_ < 0)
        return -1;
    sockaddr_in sender{};
    socklen_t sender_length;
    ssize_t n;
    do {
        sender_length = sizeof sender;
        n = ::recvfrom(fd_, buffer, capacity, 0, reinterpret_cast<sockaddr*>(&sender),
                       &sender_length);
    } while (n < 0 && errno == EINTR);
    if (n >= 0 && sender.sin_family == AF_INET)
        from = {ntohl(sender.sin_addr.s_addr), ntohs(sender.sin_port)};
    return static_cast<long>(n);
}

}  // namespace korvane
