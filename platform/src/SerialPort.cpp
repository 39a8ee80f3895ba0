#include "orka/platform/SerialPort.h"
#include "orka/platform/StatePaths.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace orka::platform {
namespace {

using Clock = std::chrono::steady_clock;

speed_t speedFor(std::uint32_t baud)
{
    switch (baud) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return 0;
    }
}

std::uint32_t baudFor(speed_t s)
{
    static constexpr std::uint32_t rates[] = {110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
    for (auto r : rates)
        if (speedFor(r) == s)
            return r;
    return 9600;
}

// Waits until fd is readable (or writable), at most timeoutMs (negative: forever).
// Returns 1 ready, 0 time out, -1 error.
int waitFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r > 0 && (p.revents & (POLLERR | POLLNVAL)))
            return -1;
        return r > 0 ? 1 : r;
    }
}
} // namespace

SerialPort::~SerialPort() { close(); }

int SerialPort::portNumber(const std::string& windowsName)
{
    if (windowsName.size() < 4 || (windowsName.compare(0, 3, "COM") != 0 && windowsName.compare(0, 3, "com") != 0))
        return 0;
    int n = 0;
    std::size_t i = 3;
    for (; i < windowsName.size() && windowsName[i] >= '0' && windowsName[i] <= '9'; ++i) {
        n = n * 10 + (windowsName[i] - '0');
        if (n > 100000)
            return 0;
    }
    if (i == 3 || (i < windowsName.size() && !(windowsName[i] == ':' && i + 1 == windowsName.size())))
        return 0;
    return n;
}

std::string SerialPort::devicePathFor(int portNumber)
{
    std::error_code ec;
    auto link = StatePaths::dosDevicesDir() / ("com" + std::to_string(portNumber));
    if (std::filesystem::exists(std::filesystem::symlink_status(link, ec)))
        return link.string();
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

int SerialPort::open(const std::string& windowsName)
{
    close();
    name_ = windowsName;
    const int n = portNumber(windowsName);
    if (n <= 0) {
        path_.clear();
        return lastError_ = ENOENT;
    }
    path_ = devicePathFor(n);
    int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return lastError_ = errno;
    if (!::isatty(fd)) {
        ::close(fd);
        return lastError_ = ENOTTY;
    }
    // No sharing: a second open of the same port fails while this one holds it. TIOCEXCL
    // does not stop a privileged process, so the open also takes a lock on the device.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int e = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return lastError_ = e;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        int e = errno;
        ::close(fd);
        return lastError_ = e;
    }
    fd_ = fd;
    timeouts_ = {};
    lastError_ = 0;
    return 0;
}

void SerialPort::close()
{
    if (fd_ >= 0) {
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }
}

bool SerialPort::getState(DCB& dcb)
{
    termios t{};
    if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0) {
        lastError_ = fd_ < 0 ? EBADF : errno;
        return false;
    }
    dcb = DCB{};
    dcb.BaudRate = baudFor(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
    case CS5: dcb.ByteSize = 5; break;
    case CS6: dcb.ByteSize = 6; break;
    case CS7: dcb.ByteSize = 7; break;
    default: dcb.ByteSize = 8; break;
    }
    if (t.c_cflag & PARENB)
        dcb.Parity = (t.c_cflag & CMSPAR) ? ((t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY)
                                          : ((t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY);
    dcb.StopBits = (t.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fParity = (t.c_cflag & PARENB) ? 1 : 0;
    dcb.fOutxCtsFlow = (t.c_cflag & CRTSCTS) ? 1 : 0;
    dcb.fRtsControl = (t.c_cflag & CRTSCTS) ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fOutX = (t.c_iflag & IXON) ? 1 : 0;
    dcb.fInX = (t.c_iflag & IXOFF) ? 1 : 0;
    dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    state_ = dcb;
    return true;
}

bool SerialPort::setState(const DCB& dcb)
{
    if (fd_ < 0) {
        lastError_ = EBADF;
        return false;
    }
    const speed_t speed = speedFor(dcb.BaudRate);
    if (speed == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY || dcb.StopBits > TWOSTOPBITS) {
        lastError_ = EINVAL;
        return false;
    }
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) {
        lastError_ = errno;
        return false;
    }
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[dcb.ByteSize - 5];
    if (dcb.Parity != NOPARITY) {
        t.c_cflag |= PARENB;
        if (dcb.Parity == ODDPARITY || dcb.Parity == MARKPARITY)
            t.c_cflag |= PARODD;
        if (dcb.Parity == MARKPARITY || dcb.Parity == SPACEPARITY)
            t.c_cflag |= CMSPAR;
    }
    if (dcb.StopBits != ONESTOPBIT)
        t.c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (dcb.fOutX)
        t.c_iflag |= IXON;
    if (dcb.fInX)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar ? dcb.XonChar : 0x11);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar ? dcb.XoffChar : 0x13);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) {
        lastError_ = errno;
        return false;
    }
    state_ = dcb;
    return true;
}

bool SerialPort::setupComm(std::uint32_t, std::uint32_t)
{
    // The kernel sizes its own tty buffers; there is nothing to ask for.
    if (fd_ < 0) {
        lastError_ = EBADF;
        return false;
    }
    return true;
}

bool SerialPort::purge(std::uint32_t flags)
{
    if (fd_ < 0) {
        lastError_ = EBADF;
        return false;
    }
    const bool rx = flags & (PURGE_RXABORT | PURGE_RXCLEAR);
    const bool tx = flags & (PURGE_TXABORT | PURGE_TXCLEAR);
    if (rx || tx) {
        if (::tcflush(fd_, rx && tx ? TCIOFLUSH : (rx ? TCIFLUSH : TCOFLUSH)) != 0) {
            lastError_ = errno;
            return false;
        }
    }
    return true;
}

bool SerialPort::setTimeouts(const COMMTIMEOUTS& timeouts)
{
    if (fd_ < 0) {
        lastError_ = EBADF;
        return false;
    }
    timeouts_ = timeouts;
    return true;
}

bool SerialPort::escape(int function)
{
    if (fd_ < 0) {
        lastError_ = EBADF;
        return false;
    }
    int bits = (function == SETDTR || function == CLRDTR) ? TIOCM_DTR : TIOCM_RTS;
    int request = (function == SETDTR || function == SETRTS) ? TIOCMBIS : TIOCMBIC;
    if (function < SETRTS || function > CLRDTR) {
        lastError_ = EINVAL;
        return false;
    }
    if (::ioctl(fd_, request, &bits) != 0 && errno != ENOTTY && errno != EINVAL && errno != ENOTSUP && errno != ENOSYS) {
        lastError_ = errno;
        return false;
    }
    return true;
}

long SerialPort::readWaiting(void* buffer, std::size_t size)
{
    if (fd_ < 0) {
        lastError_ = EBADF;
        return -1;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(fd_, out + got, size - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // Nothing more now: an empty non-blocking port, end of file, or a pseudo-terminal
        // whose other side is away for the moment.
        if (n == 0 || errno == EAGAIN || errno == EIO)
            break;
        lastError_ = errno;
        return -1;
    }
    return static_cast<long>(got);
}

long SerialPort::read(void* buffer, std::size_t size)
{
    if (fd_ < 0) {
        lastError_ = EBADF;
        return -1;
    }
    if (size == 0)
        return 0;
    const auto& to = timeouts_;
    auto* out = static_cast<unsigned char*>(buffer);
    // MAXDWORD interval with no totals: return at once with whatever is there.
    const bool immediate = to.ReadIntervalTimeout == MAXDWORD && to.ReadTotalTimeoutMultiplier == 0 &&
                           to.ReadTotalTimeoutConstant == 0;
    const std::uint64_t total = std::uint64_t(to.ReadTotalTimeoutMultiplier) * size + to.ReadTotalTimeoutConstant;
    const bool useTotal = total > 0;
    const bool useInterval = to.ReadIntervalTimeout != 0 && to.ReadIntervalTimeout != MAXDWORD;
    const auto start = Clock::now();
    std::size_t got = 0;
    while (got < size) {
        int wait = -1;
        if (immediate) {
            wait = 0;
        } else {
            if (useTotal) {
                auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
                if (elapsed >= static_cast<long long>(total))
                    break;
                wait = static_cast<int>(std::min<std::uint64_t>(total - elapsed, 0x7fffffff));
            }
            if (useInterval && got > 0)
                wait = wait < 0 ? static_cast<int>(to.ReadIntervalTimeout)
                                : std::min(wait, static_cast<int>(std::min<std::uint32_t>(to.ReadIntervalTimeout, 0x7fffffff)));
        }
        int r = waitFor(fd_, POLLIN, wait);
        if (r < 0) {
            lastError_ = EIO;
            return -1;
        }
        if (r == 0)
            break;
        ssize_t n = ::read(fd_, out + got, size - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n < 0 && errno == EIO) {
            // The other end of a pseudo-terminal is gone for the moment: nothing to read.
            ::usleep(10000);
            if (immediate)
                break;
            continue;
        }
        if (n == 0) {
            // End of file on a tty: no data now; wait out the time like a silent line.
            ::usleep(10000);
            if (immediate)
                break;
            continue;
        }
        lastError_ = errno;
        return -1;
    }
    return static_cast<long>(got);
}

long SerialPort::write(const void* buffer, std::size_t size)
{
    if (fd_ < 0) {
        lastError_ = EBADF;
        return -1;
    }
    const auto* in = static_cast<const unsigned char*>(buffer);
    const std::uint64_t total =
        std::uint64_t(timeouts_.WriteTotalTimeoutMultiplier) * size + timeouts_.WriteTotalTimeoutConstant;
    const auto start = Clock::now();
    std::size_t put = 0;
    while (put < size) {
        ssize_t n = ::write(fd_, in + put, size - put);
        if (n > 0) {
            put += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            lastError_ = errno;
            return -1;
        }
        int wait = -1;
        if (total > 0) {
            auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            if (elapsed >= static_cast<long long>(total))
                break;
            wait = static_cast<int>(total - elapsed);
        }
        if (waitFor(fd_, POLLOUT, wait) <= 0)
            break;
    }
    return static_cast<long>(put);
}

} // namespace orka::platform
