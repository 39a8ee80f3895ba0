#include "PtyLink.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace q5sim {
namespace fs = std::filesystem;

namespace {
std::runtime_error systemError(const std::string& what)
{
    return std::runtime_error(what + ": " + std::strerror(errno));
}
} // namespace

PtyLink::PtyLink(fs::path linkPath)
    : link_(std::move(linkPath))
{
    open();
}

PtyLink::~PtyLink() { removeLinkIfOurs(); }

void PtyLink::open()
{
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master)
        throw systemError("cannot open a pseudo-terminal");
    if (::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0)
        throw systemError("cannot unlock the pseudo-terminal");
    char name[128];
    if (::ptsname_r(master.get(), name, sizeof name) != 0)
        throw systemError("cannot name the pseudo-terminal");
    UniqueFd keeper(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!keeper)
        throw systemError(std::string("cannot open ") + name);
    // Raw bytes both ways: no echo, no line editing, no CR/LF translation.
    termios tio{};
    if (::tcgetattr(keeper.get(), &tio) != 0)
        throw systemError("cannot read the terminal settings");
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&tio, B115200);
    ::cfsetospeed(&tio, B115200);
    if (::tcsetattr(keeper.get(), TCSANOW, &tio) != 0)
        throw systemError("cannot set the terminal to raw mode");

    std::error_code ec;
    fs::create_directories(link_.parent_path(), ec);
    const fs::path temporary = link_.string() + ".new" + std::to_string(::getpid());
    fs::remove(temporary, ec);
    if (::symlink(name, temporary.c_str()) != 0)
        throw systemError("cannot make the link " + temporary.string());
    // A link to a real port (a USB cable's tty) is not ours to replace; a dangling one or
    // one to a terminal left behind by an earlier handset is.
    const auto status = fs::symlink_status(link_, ec);
    if (fs::exists(status)) {
        std::string why;
        if (!fs::is_symlink(status))
            why = " is no link";
        else if (fs::exists(link_, ec) && fs::read_symlink(link_, ec).string().rfind("/dev/pts/", 0) != 0)
            why = " leads to the port " + fs::read_symlink(link_, ec).string();
        if (!why.empty()) {
            fs::remove(temporary, ec);
            throw std::runtime_error(link_.string() + why);
        }
    }
    if (::rename(temporary.c_str(), link_.c_str()) != 0) {
        fs::remove(temporary, ec);
        throw systemError("cannot make the link " + link_.string());
    }
    // Opens and closes of the slave (ours is done already) tell when the PC uses the port.
    UniqueFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (watch && ::inotify_add_watch(watch.get(), name, IN_OPEN | IN_CLOSE) < 0)
        watch.reset();
    master_ = std::move(master);
    keeper_ = std::move(keeper);
    watch_ = std::move(watch);
    slave_ = name;
}

PtyLink::PortChange PtyLink::takePortChanges()
{
    if (!watch_)
        return PortChange::None;
    bool opened = false, closed = false;
    alignas(inotify_event) char buffer[4096];
    while (true) {
        const ssize_t n = ::read(watch_.get(), buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            at += static_cast<ssize_t>(sizeof event + event.len);
            if (event.mask & IN_OPEN)
                opened = true;
            // Identical notices in a row arrive as one, so opens and closes cannot be
            // counted: any close ends the PC's use (the PC holds the port once).
            if (event.mask & IN_CLOSE) {
                ::tcflush(keeper_.get(), TCIFLUSH);
                ::ioctl(keeper_.get(), TIOCNXCL);
                closed = true;
                opened = false; // only an open after this close counts
            }
        }
    }
    if (closed)
        return opened ? PortChange::ClosedAndOpened : PortChange::Closed;
    return opened ? PortChange::Opened : PortChange::None;
}

int PtyLink::unreadBytes() const
{
    int count = 0;
    if (::ioctl(keeper_.get(), FIONREAD, &count) != 0)
        return 0;
    return count;
}

void PtyLink::replug()
{
    // The fresh terminal takes the link's place before the old one hangs up, so a PC
    // that reopens the port at once finds the link there.
    UniqueFd oldMaster = std::move(master_);
    UniqueFd oldKeeper = std::move(keeper_);
    open();
}

void PtyLink::removeLinkIfOurs() const
{
    std::error_code ec;
    if (!slave_.empty() && fs::read_symlink(link_, ec) == fs::path(slave_))
        fs::remove(link_, ec);
}

} // namespace q5sim
