#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "discovery/broadcast_socket.h"

namespace korvane {

namespace {

uint32_t HostOrder(const sockaddr* a) {
    return ntohl(reinterpret_cast<const sockaddr_in*>(a)->sin_addr.s_addr);
}

}  // namespace

std::vector<InterfaceBroadcast> ListBroadcastInterfaces() {
    std::vector<InterfaceBroadcast> out;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return out;
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET)
            continue;
        const unsigned flags = i->ifa_flags;
        if (!(flags & IFF_UP) || !(flags & IFF_BROADCAST) || (flags & IFF_LOOPBACK) ||
            !i->ifa_broadaddr || !i->ifa_netmask)
            continue;
        InterfaceBroadcast b;
        b.name = i->ifa_name ? i->ifa_name : "";
        b.address = HostOrder(i->ifa_addr);
        b.mask = HostOrder(i->ifa_netmask);
        b.broadcast = HostOrder(i->ifa_broadaddr);
        if (b.broadcast != 0)
            out.push_back(b);
    }
    ::freeifaddrs(list);
    return out;
}

DiscoverySocket::~DiscoverySocket() {
    Close();
}

bool DiscoverySocket::Open(bool broadcast) {
    Close();
    auto fail = [&](const char* what) {
        error_ = std::string(what) + ": " + std::strerror(errno);
        Close();
        return false;
    };
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return fail("socket");
    const int on = broadcast ? 1 : 0;
    if (::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return fail("broadcast permission");
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0)
        return fail("bind");
    return true;
}

void DiscoverySocket::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool DiscoverySocket::SendTo(uint32_t address, uint16_t port, const uint8_t* bytes, size_t length) {
    if (fd_ < 0)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    ssize_t sent;
    do {
        sent = ::sendto(fd_, bytes, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    } while (sent < 0 && errno == EINTR);
    if (sent != static_cast<ssize_t>(length)) {
        error_ = std::strerror(errno);
        return false;
    }
    return true;
}

DiscoverySocket::Wait DiscoverySocket::WaitReadable(uint32_t timeout_ms) {
    if (fd_ < 0)
        return Wait::Failed;
    pollfd p{fd_, POLLIN, 0};
    int n;
    do {
        n = ::poll(&p, 1, static_cast<int>(timeout_ms));
    } while (n < 0 && errno == EINTR);
    if (n == 0)
        return Wait::TimedOut;
    if (n < 0)
        return Wait::Failed;
    return Wait::Readable;
}

long DiscoverySocket::ReceiveFrom(uint8_t* buffer, size_t capacity, uint32_t& address,
                                  uint16_t& port) {
    if (fd_ < 0)
        return -1;
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t n;
    do {
        n = ::recvfrom(fd_, buffer, capacity, 0, reinterpret_cast<sockaddr*>(&from), &len);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return -1;
    address = ntohl(from.sin_addr.s_addr);
    port = ntohs(from.sin_port);
    return static_cast<long>(n);
}

}  // namespace korvane
