#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "link/frame.h"
#include "sim/udp_server.h"

namespace korvane::sim {

namespace {

using Clock = std::chrono::steady_clock;

struct Pending {
    Clock::time_point due;
    std::vector<uint8_t> bytes;
    sockaddr_in to;
};

}  // namespace

UdpServer::~UdpServer() {
    Stop();
}

bool UdpServer::Start(uint16_t port, std::string* error) {
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + ": " + std::strerror(errno);
        Stop();
        return false;
    };
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return fail("socket");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(address_);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return fail("bind");
    socklen_t len = sizeof addr;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        return fail("getsockname");
    }
    port_ = ntohs(addr.sin_port);
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail("pipe");
    thread_ = std::thread([this] { Run(); });
    return true;
}

void UdpServer::Stop() {
    if (thread_.joinable()) {
        const char stop = 'x';
        [[maybe_unused]] auto n = ::write(wake_[1], &stop, 1);
        thread_.join();
    }
    for (int* fd : {&fd_, &wake_[0], &wake_[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void UdpServer::Run() {
    std::vector<Pending> pending;
    Clock::time_point last_due{};
    std::vector<uint8_t> buffer(65536);
    for (;;) {
        // Send whatever is due, then sleep until the next due reply or request.
        const auto now = Clock::now();
        std::stable_sort(pending.begin(), pending.end(),
                         [](const Pending& a, const Pending& b) { return a.due < b.due; });
        while (!pending.empty() && pending.front().due <= now) {
            const Pending& p = pending.front();
            ::sendto(fd_, p.bytes.data(), p.bytes.size(), 0,
                     reinterpret_cast<const sockaddr*>(&p.to), sizeof p.to);
            pending.erase(pending.begin());
        }
        int timeout = -1;
        if (!pending.empty()) {
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                pending.front().due - Clock::now());
            timeout = static_cast<int>(std::max<long long>(0, wait.count()));
        }
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const int n = ::poll(fds, 2, timeout);
        if (n < 0 && errno != EINTR)
            return;
        if (n <= 0)
            continue;
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t got = ::recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                       reinterpret_cast<sockaddr*>(&from), &len);
        if (got < 0)
            continue;
        // Each reply leaves its delay after the one before it, even across
        // requests: a panel answers in order, however slowly.
        auto due = std::max(Clock::now(), last_due);
        for (auto& e : panel_.Handle({buffer.data(), static_cast<size_t>(got)})) {
            due += std::chrono::milliseconds(e.delay_ms);
            pending.push_back({due, std::move(e.bytes), from});
        }
        last_due = due;
    }
}

}  // namespace korvane::sim
