// The channel is a Unix stream socket in the runtime folder, its file named after the window
// title. A request is the line "raise"; the owner answers "ok" once it has handled it.
#include "orka/platform/InstanceChannel.h"

#include "orka/platform/StatePaths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace orka::platform {
namespace fs = std::filesystem;

namespace {

constexpr char kRequest[] = "raise\n";
constexpr char kAnswer[] = "ok\n";
constexpr int kAnswerWaitMs = 2000;
constexpr int kRequestWaitMs = 1000;

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

bool makeAddress(const fs::path& path, sockaddr_un& addr)
{
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    const std::string s = path.string();
    if (s.size() >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, s.c_str(), s.size() + 1);
    return true;
}

int connectTo(const fs::path& path)
{
    sockaddr_un addr;
    if (!makeAddress(path, addr))
        return -1;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads one short line within the time limit; empty when none came.
std::string readLine(int fd, int waitMs)
{
    std::string line;
    char c;
    while (line.size() < 64) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, waitMs) <= 0 || ::read(fd, &c, 1) != 1)
            return {};
        line += c;
        if (c == '\n')
            return line;
    }
    return {};
}

bool writeAll(int fd, const char* text)
{
    const std::size_t n = std::strlen(text);
    return ::send(fd, text, n, MSG_NOSIGNAL) == static_cast<ssize_t>(n);
}

} // namespace

struct InstanceChannel::Listener {
    Fd socket;
    Fd wakeRead, wakeWrite;
    std::thread thread;

    void serve(const std::function<void()>& onRaise)
    {
        for (;;) {
            pollfd p[2] = {{socket.get(), POLLIN, 0}, {wakeRead.get(), POLLIN, 0}};
            if (::poll(p, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (p[1].revents)
                return;
            Fd client(::accept4(socket.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (client.get() < 0)
                continue;
            if (readLine(client.get(), kRequestWaitMs) != kRequest)
                continue;
            onRaise();
            writeAll(client.get(), kAnswer);
        }
    }
};

InstanceChannel::InstanceChannel(std::string title) : title_(std::move(title))
{
    std::string file;
    for (char c : title_)
        file += (c == '/' || c == '\0') ? '_' : c;
    address_ = StatePaths::runtimeRoot() / "windows" / (file + ".sock");
}

InstanceChannel::~InstanceChannel() { stop(); }

bool InstanceChannel::listen(std::function<void()> onRaise)
{
    if (listener_)
        return true;
    std::error_code ec;
    fs::create_directories(address_.parent_path(), ec);
    sockaddr_un addr;
    if (!makeAddress(address_, addr))
        return false;
    auto l = std::make_unique<Listener>();
    l->socket.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (l->socket.get() < 0)
        return false;
    if (::bind(l->socket.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EADDRINUSE)
            return false;
        // A socket file is there: a live owner answers a connection, one left by a crash does not.
        Fd probe(connectTo(address_));
        if (probe.get() >= 0)
            return false;
        ::unlink(address_.c_str());
        if (::bind(l->socket.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
            return false;
    }
    int pipeFds[2];
    if (::listen(l->socket.get(), 8) != 0 || ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        ::unlink(address_.c_str());
        return false;
    }
    l->wakeRead.reset(pipeFds[0]);
    l->wakeWrite.reset(pipeFds[1]);
    l->thread = std::thread([raw = l.get(), cb = std::move(onRaise)] { raw->serve(cb); });
    listener_ = std::move(l);
    return true;
}

void InstanceChannel::stop()
{
    if (!listener_)
        return;
    const char wake = 1;
    [[maybe_unused]] auto n = ::write(listener_->wakeWrite.get(), &wake, 1);
    listener_->thread.join();
    ::unlink(address_.c_str());
    listener_.reset();
}

bool InstanceChannel::askToComeForward() const
{
    Fd fd(connectTo(address_));
    return fd.get() >= 0 && writeAll(fd.get(), kRequest) && readLine(fd.get(), kAnswerWaitMs) == kAnswer;
}

} // namespace orka::platform
