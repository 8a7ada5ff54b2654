#pragma once
// A network of the test's own: a forked child enters a new network namespace
// (root only), where one interface kv0 gets 10.77.0.1/24 with broadcast
// 10.77.0.255, and runs the body there. A dummy interface where the kernel
// has them, else one end of a veth pair whose other end has no address.
// Nothing the body sends can leave that namespace.
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "discovery/broadcast_socket.h"

namespace korvane::testing {

inline constexpr uint32_t kTestNetAddress = 0x0A4D0001;    // 10.77.0.1
inline constexpr uint32_t kTestNetBroadcast = 0x0A4D00FF;  // 10.77.0.255

struct TestNetworkRun {
    bool skipped = false;
    std::string text;  // the body's text, or why the run was skipped
};

inline TestNetworkRun RunInTestNetwork(const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0)
        return {true, std::string("pipe: ") + std::strerror(errno)};
    const pid_t pid = ::fork();
    if (pid < 0)
        return {true, std::string("fork: ") + std::strerror(errno)};
    if (pid == 0) {
        ::close(fds[0]);
        auto finish = [&](const std::string& text) {
            [[maybe_unused]] auto n = ::write(fds[1], text.data(), text.size());
            ::_exit(0);
        };
        if (::unshare(CLONE_NEWNET) != 0)
            finish(std::string("skip: no network namespace here (unshare: ") +
                   std::strerror(errno) + ")");
        const char* setup =
            "exec >/dev/null 2>&1; ip link set lo up && "
            "{ ip link add kv0 type dummy || "
            "{ ip link add kv0 type veth peer name kv1 && ip link set kv1 up; }; } && "
            "ip addr add 10.77.0.1/24 brd 10.77.0.255 dev kv0 && ip link set kv0 up";
        if (std::system(setup) != 0)
            finish("skip: cannot set up an interface in the namespace (ip from iproute2)");
        // Only the namespace's own interface may ever be asked.
        const auto interfaces = ListBroadcastInterfaces();
        if (interfaces.size() != 1 || interfaces[0].name != "kv0" ||
            interfaces[0].broadcast != kTestNetBroadcast)
            finish("unexpected interfaces in the namespace; nothing sent");
        finish(body());
    }
    ::close(fds[1]);
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (text.rfind("skip: ", 0) == 0)
        return {true, text.substr(6)};
    return {false, text};
}

}  // namespace korvane::testing
