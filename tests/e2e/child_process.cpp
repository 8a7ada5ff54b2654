#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include "child_exec.h"

namespace korvane::testing {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const EnvSettings& environment) {
    const std::vector<std::string> child_environment = ChildEnvironment(environment);
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        std::abort();
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ExecProgram(program, args, child_environment);
    }
    ::close(out[1]);
    ::close(err[1]);
    out_fd_ = out[0];
    err_fd_ = err[0];
}

ChildProcess::~ChildProcess() {
    if (status_ == -1 && pid_ > 0)
        KillAndReap(pid_);
    if (out_fd_ >= 0)
        ::close(out_fd_);
    if (err_fd_ >= 0)
        ::close(err_fd_);
}

void ChildProcess::Pump(int timeout_ms) {
    pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    if (::poll(fds, 2, timeout_ms) <= 0)
        return;
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP)))
            continue;
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0)
            (i == 0 ? out_ : err_).append(buffer, static_cast<size_t>(n));
        if (n == 0) {
            ::close(fds[i].fd);
            (i == 0 ? out_fd_ : err_fd_) = -1;
        }
    }
}

bool ChildProcess::WaitForOutput(const std::string& text, bool on_stderr,
                                 std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        if ((on_stderr ? err_ : out_).find(text) != std::string::npos)
            return true;
        if (out_fd_ < 0 && err_fd_ < 0)
            return false;
        Pump(20);
    }
    return (on_stderr ? err_ : out_).find(text) != std::string::npos;
}

void ChildProcess::Signal(int signal) {
    ::kill(pid_, signal);
}

int ChildProcess::Wait(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (out_fd_ >= 0 || err_fd_ >= 0) {
        if (std::chrono::steady_clock::now() >= until)
            break;
        Pump(50);
    }
    const auto code = WaitOrKill(pid_, until, [] { ::usleep(10000); });
    if (!code) {
        status_ = -1;
        pid_ = -1;
        return -1;
    }
    status_ = *code;
    return status_;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const EnvSettings& environment) {
    ChildProcess child(program, args, environment);
    const int code = child.Wait();
    return {code, child.out(), child.err()};
}

}  // namespace korvane::testing
