#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "system/descriptor_write.h"

namespace korvane {

DeviceTransfer WriteAllTo(int fd, const uint8_t* bytes, size_t length, uint32_t timeout_ms) {
    using Clock = std::chrono::steady_clock;
    if (fd < 0)
        return DeviceTransfer::Failed;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, bytes + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return DeviceTransfer::Failed;
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, MillisecondsUntil(deadline));
        if (ready == 0)
            return DeviceTransfer::TimedOut;
        if (ready < 0 && errno != EINTR)
            return DeviceTransfer::Failed;
        if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            // poll gives no reason of its own; for the caller's errno this
            // is an I/O error, as a terminal whose far end closed says.
            errno = EIO;
            return DeviceTransfer::Failed;
        }
    }
    return DeviceTransfer::Done;
}

}  // namespace korvane
