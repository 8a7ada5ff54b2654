#include "pty_child.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

#include "child_exec.h"

namespace korvane::testing {

PtyChild::PtyChild(const std::string& program, const std::vector<std::string>& args, int columns) {
    winsize size{};
    size.ws_row = 24;
    size.ws_col = static_cast<unsigned short>(columns);
    const std::vector<std::string> environment = ChildEnvironment({}, {"COLUMNS"});
    int slave = -1, out[2];
    if (::openpty(&master_, &slave, nullptr, nullptr, &size) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
        std::abort();
    pid_ = ::fork();
    if (pid_ == 0) {
        ::setsid();
        ::ioctl(slave, TIOCSCTTY, 0);
        ::dup2(slave, STDERR_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, STDIN_FILENO);
        ::close(slave);
        ::close(master_);
        ExecProgram(program, args, environment);
    }
    ::close(slave);
    ::close(out[1]);
    out_fd_ = out[0];
}

PtyChild::~PtyChild() {
    if (!done_ && pid_ > 0)
        KillAndReap(pid_);
    if (master_ >= 0)
        ::close(master_);
    if (out_fd_ >= 0)
        ::close(out_fd_);
}

void PtyChild::Resize(int columns) {
    winsize size{};
    size.ws_row = 24;
    size.ws_col = static_cast<unsigned short>(columns);
    ::ioctl(master_, TIOCSWINSZ, &size);
}

void PtyChild::Pump(int timeout_ms) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {out_fd_, POLLIN, 0}};
    if (::poll(fds, 2, timeout_ms) <= 0)
        return;
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            (i == 0 ? terminal_ : out_).append(buffer, static_cast<size_t>(n));
        } else {
            // A pseudo-terminal whose other side has closed reads as EIO.
            ::close(fds[i].fd);
            (i == 0 ? master_ : out_fd_) = -1;
        }
    }
}

void PtyChild::ReadFor(std::chrono::milliseconds span) {
    const auto until = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < until && (master_ >= 0 || out_fd_ >= 0))
        Pump(20);
}

int PtyChild::Wait(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    const auto code = WaitOrKill(pid_, until, [this] { Pump(20); });
    done_ = true;
    if (!code)
        return -1;
    // What is still buffered on either side.
    for (int i = 0; i < 20 && (master_ >= 0 || out_fd_ >= 0); ++i)
        Pump(10);
    return *code;
}

}  // namespace korvane::testing
