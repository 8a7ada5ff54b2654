#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sim/pty_request_assembler.h"
#include "sim/pty_server.h"
#include "system/descriptor_write.h"

namespace korvane::sim {

namespace {

// How long to rest while no one has the slave side open: the master then
// reports a hang-up at once on every poll.
constexpr int kIdleMs = 10;
// How long a reply may wait for a tool that does not read before the rest of
// it is dropped.
constexpr int kWriteWaitMs = 1000;

bool HungUp(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP) && !(p.revents & POLLIN);
}

}  // namespace

PtyServer::~PtyServer() {
    Stop();
}

bool PtyServer::Start(std::string* error) {
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + ": " + std::strerror(errno);
        Stop();
        return false;
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0)
        return fail("posix_openpt");
    if (::grantpt(master_) != 0)
        return fail("grantpt");
    if (::unlockpt(master_) != 0)
        return fail("unlockpt");
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0)
        return fail("ptsname");
    slave_path_ = name;
    // The terminal settings belong to the pair; set from this side they hold
    // for whoever opens the slave, until that one changes them.
    termios t{};
    if (::tcgetattr(master_, &t) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&t);
    if (::tcsetattr(master_, TCSANOW, &t) != 0)
        return fail("tcsetattr");
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail("pipe");
    stop_.store(false);
    thread_ = std::thread([this] { Run(); });
    return true;
}

void PtyServer::Stop() {
    if (thread_.joinable()) {
        stop_.store(true);
        Wake();
        thread_.join();
    }
    for (int* fd : {&master_, &wake_[0], &wake_[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    schedule_.Clear();
}

void PtyServer::Wake() {
    const char x = 'x';
    [[maybe_unused]] auto n = ::write(wake_[1], &x, 1);
}

void PtyServer::Inject(std::vector<uint8_t> bytes, int delay_ms) {
    schedule_.Queue({{std::move(bytes), delay_ms}}, ReplySchedule::Clock::now());
    Wake();
}

void PtyServer::SendDue() {
    while (auto reply = schedule_.TakeDue(ReplySchedule::Clock::now())) {
        // A serial line with no one listening loses what is sent on it; a
        // tool that opens the port later must not find old replies waiting.
        if (!HungUp(master_))
            (void)WriteAllTo(master_, reply->bytes.data(), reply->bytes.size(), kWriteWaitMs);
    }
}

void PtyServer::Run() {
    RequestAssembler assembler;
    uint8_t buffer[4096];
    bool idle = false;  // no slave open: do not watch the master until it rests
    while (!stop_.load()) {
        SendDue();
        int timeout = idle ? kIdleMs : -1;
        const int due = schedule_.PollTimeoutMs(ReplySchedule::Clock::now());
        if (due >= 0)
            timeout = timeout < 0 ? due : std::min(timeout, due);
        pollfd fds[2] = {{wake_[0], POLLIN, 0}, {idle ? -1 : master_, POLLIN, 0}};
        const int n = ::poll(fds, 2, timeout);
        if (n < 0 && errno != EINTR)
            return;
        if (n == 0 && idle) {
            idle = false;  // rested: look at the master again
            continue;
        }
        if (n <= 0)
            continue;
        if (fds[0].revents) {
            char drain[64];
            while (::read(wake_[0], drain, sizeof drain) > 0) {
            }
        }
        if (!fds[1].revents)
            continue;
        if (!(fds[1].revents & POLLIN)) {
            idle = true;  // hung up: the tool closed the slave side
            continue;
        }
        const ssize_t got = ::read(master_, buffer, sizeof buffer);
        if (got <= 0) {
            if (got == 0 || (errno != EINTR && errno != EAGAIN))
                idle = true;  // EIO: no slave open
            continue;
        }
        const auto received = ReplySchedule::Clock::now();
        for (const auto& frame : assembler.Feed({buffer, static_cast<size_t>(got)}))
            schedule_.Queue(panel_.Handle(frame), received);
    }
}

}  // namespace korvane::sim
