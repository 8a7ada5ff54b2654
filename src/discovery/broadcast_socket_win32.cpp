#include <winsock2.h>

// These build on winsock2.h.
#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <vector>

#include "discovery/broadcast_socket.h"
#include "link/winsock_win32.h"

namespace korvane {

namespace {

std::string LastError(const char* what) {
    return std::string(what) + ": WinSock error " + std::to_string(WSAGetLastError());
}

}  // namespace

std::vector<InterfaceBroadcast> ListBroadcastInterfaces() {
    std::vector<InterfaceBroadcast> out;
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    // The list may grow between the two calls; a few tries cover that.
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        result = GetAdaptersAddresses(
            AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
            nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR)
        return out;
    for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next) {
        if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK ||
            a->IfType == IF_TYPE_PPP || a->IfType == IF_TYPE_TUNNEL)
            continue;
        for (auto* u = a->FirstUnicastAddress; u; u = u->Next) {
            if (!u->Address.lpSockaddr || u->Address.lpSockaddr->sa_family != AF_INET ||
                u->OnLinkPrefixLength == 0 || u->OnLinkPrefixLength > 30)
                continue;
            InterfaceBroadcast b;
            b.name = a->AdapterName ? a->AdapterName : "";
            b.address =
                ntohl(reinterpret_cast<const sockaddr_in*>(u->Address.lpSockaddr)->sin_addr.s_addr);
            b.mask = ~uint32_t{0} << (32 - u->OnLinkPrefixLength);
            b.broadcast = b.address | ~b.mask;
            out.push_back(b);
        }
    }
    return out;
}

DiscoverySocket::~DiscoverySocket() {
    Close();
}

bool DiscoverySocket::Open(bool broadcast) {
    Close();
    if (!WinSockStarted()) {
        error_ = "WinSock 2.2 could not be started";
        return false;
    }
    auto fail = [&](const char* what) {
        error_ = LastError(what);
        Close();
        return false;
    };
    const SOCKET s =
        WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return fail("socket");
    fd_ = static_cast<NativeHandle>(s);
    const BOOL on = broadcast ? TRUE : FALSE;
    if (setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0)
        return fail("broadcast permission");
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(s, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0)
        return fail("bind");
    return true;
}

void DiscoverySocket::Close() {
    if (fd_ != kNoHandle)
        closesocket(AsSocket(fd_));
    fd_ = kNoHandle;
}

bool DiscoverySocket::SendTo(uint32_t address, uint16_t port, const uint8_t* bytes, size_t length) {
    if (fd_ == kNoHandle)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    const int sent =
        sendto(AsSocket(fd_), reinterpret_cast<const char*>(bytes), static_cast<int>(length), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent != static_cast<int>(length)) {
        error_ = LastError("send");
        return false;
    }
    return true;
}

DiscoverySocket::Wait DiscoverySocket::WaitReadable(uint32_t timeout_ms) {
    if (fd_ == kNoHandle)
        return Wait::Failed;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(AsSocket(fd_), &readable);
    timeval limit{static_cast<long>(timeout_ms / 1000),
                  static_cast<long>(timeout_ms % 1000) * 1000};
    const int n = select(0, &readable, nullptr, nullptr, &limit);
    if (n == 0)
        return Wait::TimedOut;
    if (n < 0)
        return Wait::Failed;
    return Wait::Readable;
}

long DiscoverySocket::ReceiveFrom(uint8_t* buffer, size_t capacity, uint32_t& address,
                                  uint16_t& port) {
    if (fd_ == kNoHandle)
        return -1;
    sockaddr_in from{};
    int len = sizeof from;
    const int n = recvfrom(AsSocket(fd_), reinterpret_cast<char*>(buffer),
                           static_cast<int>(capacity), 0, reinterpret_cast<sockaddr*>(&from), &len);
    // A datagram larger than the buffer is cut, and Windows says so; the
    // part kept is what the reply check reads.
    if (n < 0 && WSAGetLastError() != WSAEMSGSIZE)
        return -1;
    address = ntohl(from.sin_addr.s_addr);
    port = ntohs(from.sin_port);
    return n < 0 ? static_cast<long>(capacity) : static_cast<long>(n);
}

}  // namespace korvane
