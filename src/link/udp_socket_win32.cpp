#include <winsock2.h>

// These build on winsock2.h.
#include <mstcpip.h>
#include <ws2tcpip.h>

#include <chrono>

// Older mingw-w64 headers lack it; the value is the system's.
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

#include "link/udp_socket.h"
#include "link/winsock_win32.h"

namespace korvane {

namespace {}  // namespace

UdpSocket::~UdpSocket() {
    Close();
}

bool UdpSocket::Open(const std::string& dotted, uint16_t port) {
    Close();
    if (!WinSockStarted())
        return false;
    in_addr addr{};
    // An unparsable text leaves the destination at 255.255.255.255, as the
    // classic dotted-quad conversion does; the send then fails and says so.
    if (inet_pton(AF_INET, dotted.c_str(), &addr) != 1)
        addr.s_addr = INADDR_NONE;
    peer_ = {ntohl(addr.s_addr), port};
    const SOCKET s =
        WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return false;
    // Windows turns an ICMP "port unreachable" into a failed receive; an
    // absent panel must be a time-out here as everywhere else.
    BOOL report = FALSE;
    DWORD returned = 0;
    (void)WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
                   nullptr);
    fd_ = static_cast<NativeHandle>(s);
    return true;
}

void UdpSocket::Close() {
    if (fd_ != kNoHandle)
        closesocket(AsSocket(fd_));
    fd_ = kNoHandle;
}

bool UdpSocket::Send(const uint8_t* bytes, size_t length) {
    if (fd_ == kNoHandle)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(peer_.port);
    to.sin_addr.s_addr = htonl(peer_.address);
    // The first send binds the socket to a free port, as on POSIX.
    const int sent =
        sendto(AsSocket(fd_), reinterpret_cast<const char*>(bytes), static_cast<int>(length), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == static_cast<int>(length);
}

UdpSocket::Wait UdpSocket::WaitReadable(uint32_t timeout_us) {
    if (fd_ == kNoHandle)
        return Wait::Failed;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(AsSocket(fd_), &readable);
    timeval tv{};
    tv.tv_sec = static_cast<long>(timeout_us / 1000000);
    tv.tv_usec = static_cast<long>(timeout_us % 1000000);
    const int n = select(0, &readable, nullptr, nullptr, &tv);
    if (n > 0)
        return Wait::Readable;
    return n == 0 ? Wait::TimedOut : Wait::Failed;
}

long UdpSocket::Receive(uint8_t* buffer, size_t capacity, UdpEndpoint& from) {
    from = {};
    if (fd_ == kNoHandle)
        return -1;
    sockaddr_in sender{};
    int sender_length = static_cast<int>(sizeof sender);
    const int n =
        recvfrom(AsSocket(fd_), reinterpret_cast<char*>(buffer), static_cast<int>(capacity), 0,
                 reinterpret_cast<sockaddr*>(&sender), &sender_length);
    // The sender is filled in for a datagram cut short as for a whole one.
    if ((n != SOCKET_ERROR || WSAGetLastError() == WSAEMSGSIZE) && sender.sin_family == AF_INET)
        from = {ntohl(sender.sin_addr.s_addr), ntohs(sender.sin_port)};
    // A datagram longer than the buffer fills it and the rest is lost, as
    // POSIX does without a word; Windows reports it, which is no failure.
    if (n == SOCKET_ERROR && WSAGetLastError() == WSAEMSGSIZE)
        return static_cast<long>(capacity);
    return n == SOCKET_ERROR ? -1 : static_cast<long>(n);
}

}  // namespace korvane
