#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <vector>

#include "link/frame.h"
#include "link/winsock_win32.h"
#include "sim/reply_schedule.h"
#include "sim/udp_server.h"

namespace korvane::sim {

namespace {

// A datagram socket bound to `address`:`port` (host order); its address in
// `*addr`.
SOCKET LoopbackSocket(uint32_t address, uint16_t port, sockaddr_in* addr) {
    const SOCKET s =
        WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return s;
    *addr = {};
    addr->sin_family = AF_INET;
    addr->sin_port = htons(port);
    addr->sin_addr.s_addr = htonl(address);
    int len = sizeof *addr;
    if (bind(s, reinterpret_cast<sockaddr*>(addr), sizeof *addr) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(addr), &len) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

}  // namespace

UdpServer::~UdpServer() {
    Stop();
}

bool UdpServer::Start(uint16_t port, std::string* error) {
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + ": WinSock error " + std::to_string(WSAGetLastError());
        Stop();
        return false;
    };
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return fail("WSAStartup");
    sockaddr_in addr{};
    const SOCKET s = LoopbackSocket(address_, port, &addr);
    if (s == INVALID_SOCKET)
        return fail("bind");
    fd_ = static_cast<NativeHandle>(s);
    port_ = ntohs(addr.sin_port);
    // Stop() wakes the serving thread with a datagram from one socket of a
    // connected pair to the other: select() waits on sockets only.
    sockaddr_in wake_addr{};
    const SOCKET w = LoopbackSocket(INADDR_LOOPBACK, 0, &wake_addr);
    if (w == INVALID_SOCKET)
        return fail("wake socket");
    wake_[0] = static_cast<NativeHandle>(w);
    const SOCKET sender =
        WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (sender == INVALID_SOCKET)
        return fail("wake socket");
    wake_[1] = static_cast<NativeHandle>(sender);
    if (connect(sender, reinterpret_cast<sockaddr*>(&wake_addr), sizeof wake_addr) != 0)
        return fail("connect");
    thread_ = std::thread([this] { Run(); });
    return true;
}

void UdpServer::Stop() {
    if (thread_.joinable()) {
        const char stop = 'x';
        send(AsSocket(wake_[1]), &stop, 1, 0);
        thread_.join();
    }
    for (NativeHandle* s : {&fd_, &wake_[0], &wake_[1]}) {
        if (*s != kNoHandle)
            closesocket(AsSocket(*s));
        *s = kNoHandle;
    }
}

void UdpServer::Run() {
    ReplySchedule schedule(ReplySchedule::Empty::kSend);
    std::vector<uint8_t> buffer(65536);
    for (;;) {
        // Send whatever is due, then sleep until the next due reply or request.
        while (auto reply = schedule.TakeDue(ReplySchedule::Clock::now())) {
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(reply->to.port);
            to.sin_addr.s_addr = htonl(reply->to.address);
            sendto(AsSocket(fd_), reinterpret_cast<const char*>(reply->bytes.data()),
                   static_cast<int>(reply->bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                   sizeof to);
        }
        timeval tv{};
        timeval* timeout = nullptr;
        if (const auto wait = schedule.UntilNext(ReplySchedule::Clock::now())) {
            const long long us = std::chrono::ceil<std::chrono::microseconds>(*wait).count();
            tv.tv_sec = static_cast<long>(us / 1000000);
            tv.tv_usec = static_cast<long>(us % 1000000);
            timeout = &tv;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(AsSocket(fd_), &readable);
        FD_SET(AsSocket(wake_[0]), &readable);
        const int n = select(0, &readable, nullptr, nullptr, timeout);
        if (n == SOCKET_ERROR)
            return;
        if (n == 0)
            continue;
        if (FD_ISSET(AsSocket(wake_[0]), &readable))
            return;
        sockaddr_in from{};
        int len = sizeof from;
        const int got =
            recvfrom(AsSocket(fd_), reinterpret_cast<char*>(buffer.data()),
                     static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (got == SOCKET_ERROR)
            continue;  // e.g. a tool that went away, reported by ICMP
        schedule.Queue(panel_.Handle({buffer.data(), static_cast<size_t>(got)}),
                       ReplySchedule::Clock::now(),
                       {ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)});
    }
}

}  // namespace korvane::sim
