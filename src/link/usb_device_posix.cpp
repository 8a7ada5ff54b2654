#include <dirent.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>

#include "link/device_node.h"
#include "link/usb_device.h"
#include "system/descriptor_write.h"

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

// Waits for `events` on `fd` until `deadline`.
UsbDevice::Transfer WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, MillisecondsUntil(deadline));
        if (ready == 0)
            return UsbDevice::Transfer::TimedOut;
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return UsbDevice::Transfer::Failed;
        }
        return (p.revents & events) ? UsbDevice::Transfer::Done : UsbDevice::Transfer::Failed;
    }
}

}  // namespace

std::vector<std::string> ListUsbDevices() {
    const std::string_view prefix = std::string_view(kUsbDevicePrefix).substr(5);  // after /dev/
    std::vector<std::pair<unsigned long, std::string>> found;
    if (DIR* dir = ::opendir("/dev")) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (!name.starts_with(prefix))
                continue;
            const std::string_view digits = name.substr(prefix.size());
            if (digits.empty() || digits.size() > 9 ||
                digits.find_first_not_of("0123456789") != std::string_view::npos) {
                continue;
            }
            found.emplace_back(std::stoul(std::string(digits)), "/dev/" + std::string(name));
        }
        ::closedir(dir);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto& f : found)
        paths.push_back(std::move(f.second));
    return paths;
}

std::string UsbDeviceSearchPlace() {
    return std::string(kUsbDevicePrefix) + "N";
}

UsbDevice::~UsbDevice() {
    Close();
}

bool UsbDevice::Open(const std::string& path) {
    Close();
    error_ = {};
    path_ = path;
    fd_ = OpenDeviceNode(path, &error_);
    return fd_ >= 0;
}

void UsbDevice::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

UsbDevice::Transfer UsbDevice::Write(const uint8_t* bytes, size_t length, uint32_t timeout_ms) {
    const Transfer t = WriteAllTo(fd_, bytes, length, timeout_ms);
    if (t == Transfer::Failed && fd_ >= 0)
        error_ = LastDeviceError(path_);
    return t;
}

UsbDevice::Transfer UsbDevice::Read(uint8_t* buffer, size_t capacity, uint32_t timeout_ms,
                                    size_t* got) {
    *got = 0;
    if (fd_ < 0)
        return Transfer::Failed;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        const Transfer ready = WaitFor(fd_, POLLIN, deadline);
        if (ready == Transfer::TimedOut)
            return ready;
        // A device in error or hung up is read all the same, for the
        // system's reason.
        const ssize_t n = ::read(fd_, buffer, capacity);
        if (n > 0) {
            *got = static_cast<size_t>(n);
            return Transfer::Done;
        }
        if (n == 0) {
            error_ = DeviceGoneError(path_);
            return Transfer::Failed;
        }
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            error_ = LastDeviceError(path_);
            return Transfer::Failed;
        }
        if (ready == Transfer::Failed) {
            error_ = DeviceGoneError(path_);
            return Transfer::Failed;
        }
    }
}

}  // namespace korvane
