#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "link/frame.h"
#include "sim/reply_schedule.h"
#include "sim/udp_server.h"

namespace korvane::sim {

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
    ReplySchedule schedule(ReplySchedule::Empty::kSend);
    std::vector<uint8_t> buffer(65536);
    for (;;) {
        // Send whatever is due, then sleep until the next due reply or request.
        while (auto reply = schedule.TakeDue(ReplySchedule::Clock::now())) {
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(reply->to.port);
            to.sin_addr.s_addr = htonl(reply->to.address);
            ::sendto(fd_, reply->bytes.data(), reply->bytes.size(), 0,
                     reinterpret_cast<const sockaddr*>(&to), sizeof to);
        }
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const int n = ::poll(fds, 2, schedule.PollTimeoutMs(ReplySchedule::Clock::now()));
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
        schedule.Queue(panel_.Handle({buffer.data(), static_cast<size_t>(got)}),
                       ReplySchedule::Clock::now(),
                       {ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)});
    }
}

}  // namespace korvane::sim
