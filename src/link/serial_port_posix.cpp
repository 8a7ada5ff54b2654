#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "link/device_node.h"
#include "link/serial_port.h"
#include "system/descriptor_write.h"

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

struct RateCode {
    uint32_t baud;
    speed_t code;
};

constexpr RateCode kRateCodes[] = {
    {115200, B115200}, {57600, B57600}, {38400, B38400}, {19200, B19200}, {9600, B9600},
    {4800, B4800},     {2400, B2400},   {1200, B1200},   {300, B300},     {150, B150},
    {134, B134},       {110, B110},     {75, B75},
};
static_assert(std::size(kRateCodes) == kSupportedBauds.size());

}  // namespace

SerialPort::~SerialPort() {
    Close();
}

bool SerialPort::Open(const std::string& path) {
    Close();
    error_ = {};
    path_ = path;
    fd_ = OpenDeviceNode(path, &error_);
    if (fd_ < 0)
        return false;
    // A second program on the same port would steal reply bytes; keep others
    // out while the link is open. Devices that do not support it still work.
    (void)::ioctl(fd_, TIOCEXCL);
    return true;
}

void SerialPort::Close() {
    if (fd_ >= 0) {
        (void)::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }
    fd_ = -1;
}

bool SerialPort::ApplyRate(uint32_t baud) {
    termios t{};
    if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0)
        return false;
    for (const RateCode& r : kRateCodes) {
        if (r.baud != baud)
            continue;
        if (::cfsetispeed(&t, r.code) != 0 || ::cfsetospeed(&t, r.code) != 0)
            return false;
        return ::tcsetattr(fd_, TCSANOW, &t) == 0;
    }
    return true;
}

uint32_t SerialPort::CurrentRate() const {
    termios t{};
    if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0)
        return 0;
    const speed_t code = ::cfgetospeed(&t);
    for (const RateCode& r : kRateCodes) {
        if (r.code == code)
            return r.baud;
    }
    return 0;
}

bool SerialPort::ApplyLine(const SerialConfig& config) {
    termios t{};
    if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0)
        return false;
    // Raw bytes both ways: no line editing, echo, signals or translation.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
    t.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    switch (static_cast<SerialParity>(config.parity)) {
        case SerialParity::None:
            break;  // the input parity check stays as the port had it
        case SerialParity::Odd:
            t.c_cflag |= PARENB | PARODD;
            t.c_iflag |= INPCK;
            break;
        case SerialParity::Even:
            t.c_cflag |= PARENB;
            t.c_iflag |= INPCK;
            break;
#ifdef CMSPAR
        case SerialParity::Mark:
            t.c_cflag |= PARENB | PARODD | CMSPAR;
            t.c_iflag |= INPCK;
            break;
        case SerialParity::Space:
            t.c_cflag |= PARENB | CMSPAR;
            t.c_iflag |= INPCK;
            break;
#endif
        default:
            return false;
    }
    if (config.stop_bits == 1 || config.stop_bits == 2) {
        t.c_cflag |= CSTOPB;
    } else if (config.stop_bits != kOneStopBit) {
        return false;
    }
    // Reads return at once; Read() does its own timing with poll, which
    // resolves milliseconds where VTIME only knows tenths of a second.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_, TCSANOW, &t) != 0)
        return false;
    // DTR and RTS low: the panel's port uses neither. Pseudo-terminals have no
    // modem lines and refuse this, which is no reason to fail.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd_, TIOCMBIC, &lines);
    return true;
}

bool SerialPort::ClearErrors() {
    termios t{};
    if (fd_ < 0)
        return false;
    if (::tcgetattr(fd_, &t) == 0)
        return true;
    error_ = LastDeviceError(path_);
    return false;
}

SerialPort::Transfer SerialPort::Write(const uint8_t* bytes, size_t length, uint32_t timeout_ms) {
    const Transfer t = WriteAllTo(fd_, bytes, length, timeout_ms);
    if (t == Transfer::Failed && fd_ >= 0)
        error_ = LastDeviceError(path_);
    return t;
}

long SerialPort::Read(uint8_t* buffer, size_t capacity, uint32_t timeout_ms, uint32_t gap_ms) {
    if (fd_ < 0)
        return -1;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    size_t got = 0;
    while (got < capacity) {
        int wait = MillisecondsUntil(deadline);
        if (got > 0 && wait > static_cast<int>(gap_ms))
            wait = static_cast<int>(gap_ms);
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, wait);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            error_ = LastDeviceError(path_);
            return -1;
        }
        if (ready == 0)
            break;  // the line went quiet, or the whole time is up
        // A port that hung up or is in error is read all the same: the read
        // fails with the system's reason (or ends the file).
        const ssize_t n = ::read(fd_, buffer + got, capacity - got);
        if (n > 0) {
            got += static_cast<size_t>(n);
        } else if (n == 0) {
            // End of file: the device went away (the far end of a
            // pseudo-terminal closed, an adapter was unplugged).
            error_ = DeviceGoneError(path_);
            return got > 0 ? static_cast<long>(got) : -1;
        } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            error_ = LastDeviceError(path_);
            return got > 0 ? static_cast<long>(got) : -1;
        } else if (!(p.revents & POLLIN)) {
            // Hung up or in error with nothing to read and no reason given.
            error_ = DeviceGoneError(path_);
            return got > 0 ? static_cast<long>(got) : -1;
        }
    }
    return static_cast<long>(got);
}

}  // namespace korvane
