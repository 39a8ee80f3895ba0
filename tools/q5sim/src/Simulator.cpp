#include "Simulator.h"

#include "orka/platform/StatePaths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace q5sim {

namespace {
constexpr int idlePollMs = 200; // how often the fault file is looked at when nothing happens
constexpr auto cableRest = std::chrono::milliseconds(20);
constexpr auto dropGrace = std::chrono::milliseconds(1000);
constexpr auto drainCheck = std::chrono::milliseconds(5);
constexpr auto drainSettle = std::chrono::milliseconds(50);
} // namespace

Simulator::Simulator(const SimulatorOptions& options, HandsetStore& store, FaultSet& faults, Logger& logger)
    : comPort_(options.comPort), irdaName_(options.irdaName.value_or("")), faults_(faults), logger_(logger)
{
    if (comPort_) {
        const auto link = orka::platform::StatePaths::dosDevicesDir() / ("com" + std::to_string(*comPort_));
        cable_ = std::make_unique<PtyLink>(link);
        cableSession_ = std::make_unique<LinkSession>("COM" + std::to_string(*comPort_), store, faults, logger);
        logger_.note(cableSession_->linkName(), "serving at " + link.string() + " -> " + cable_->slavePath());
    }
    if (options.irdaName) {
        irda_ = std::make_unique<IrdaDevice>(orka::platform::StatePaths::irdaDir(), irdaName_, faults.iasVariant());
        irdaSession_ = std::make_unique<LinkSession>("IrDA:" + irdaName_, store, faults, logger);
        logger_.note(irdaSession_->linkName(), "serving at " + irda_->socketPath().string());
    }
}

std::string Simulator::servingText() const
{
    std::string text = "q5sim: serving ";
    if (cable_)
        text += "COM" + std::to_string(*comPort_) + " at " + cable_->linkPath().string();
    if (cable_ && irda_)
        text += ", ";
    if (irda_)
        text += "IrDA device " + irdaName_ + " at " + irda_->socketPath().string();
    return text;
}

Simulator::Flow Simulator::readInto(int fd, LinkSession& session, bool socket)
{
    char buffer[4096];
    while (session.wantsInput()) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            session.receive(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return Flow::Open;
        // End of file on the socket: the client left. EIO on the terminal: no PC has the
        // port open; the terminal itself lives on.
        if (!socket && n < 0 && errno == EIO) {
            cableRestUntil_ = LinkSession::Clock::now() + cableRest;
            return Flow::Open;
        }
        return Flow::Closed;
    }
    return Flow::Open;
}

Simulator::Flow Simulator::pump(int fd, LinkSession& session, bool socket)
{
    while (true) {
        const LinkSession::Output out = session.next(LinkSession::Clock::now());
        if (out.step == LinkSession::Step::Idle)
            return Flow::Open;
        if (out.step == LinkSession::Step::Drop)
            return Flow::Closed;
        const ssize_t n = socket ? ::send(fd, out.bytes.data(), out.bytes.size(), MSG_NOSIGNAL)
                                 : ::write(fd, out.bytes.data(), out.bytes.size());
        if (n > 0) {
            session.sent(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return Flow::Open; // the link is full; POLLOUT brings us back
        if (!socket) {
            // Nobody holds the port: what the handset says is lost, as on a pulled cable.
            logger_.note(session.linkName(), std::string("answer lost: ") + std::strerror(errno));
            session.sent(out.bytes.size());
            continue;
        }
        return Flow::Closed;
    }
}

void Simulator::dropCable()
{
    cableDropBy_.reset();
    logger_.note(cableSession_->linkName(), "link dropped");
    cableSession_->reset();
    cable_->replug();
    logger_.note(cableSession_->linkName(), "serving again at " + cable_->linkPath().string() + " -> "
                                                + cable_->slavePath());
}

void Simulator::portChanged(PtyLink::PortChange change)
{
    using Change = PtyLink::PortChange;
    if (change == Change::Closed || change == Change::ClosedAndOpened) {
        logger_.note(cableSession_->linkName(), "port closed by the PC");
        cableSession_->reset();
    }
    if (change == Change::Opened || change == Change::ClosedAndOpened)
        logger_.note(cableSession_->linkName(), "port opened by the PC");
}

void Simulator::dropIrdaClient(const char* why)
{
    logger_.note(irdaSession_->linkName(), why);
    irdaClient_.reset();
    irdaSession_->reset();
}

int Simulator::pollTimeoutMs() const
{
    auto now = LinkSession::Clock::now();
    auto wait = std::chrono::milliseconds(idlePollMs);
    for (const LinkSession* s : {cableSession_.get(), irdaSession_.get()}) {
        if (!s)
            continue;
        if (auto due = s->nextDue())
            wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(*due - now)
                                      + std::chrono::milliseconds(1));
    }
    if (cableDropBy_)
        wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(drainCheck));
    if (cable_ && cableRestUntil_ > now)
        wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(cableRestUntil_ - now)
                                  + std::chrono::milliseconds(1));
    return static_cast<int>(std::max<long long>(0, wait.count()));
}

void Simulator::run(int stopFd)
{
    while (true) {
        const auto now = LinkSession::Clock::now();
        if (irda_ && now >= nextIasCheck_) {
            faults_.refresh();
            const IasVariant variant = faults_.iasVariant();
            if (irda_->describe(variant))
                logger_.note(irdaSession_->linkName(),
                             std::string("attributes rewritten:") + (variant.noIrcomm ? " no IrCOMM" : "")
                                 + (variant.no9Wire ? " no 9-wire" : "") + (variant.serviceLate ? " service type late" : ""));
            nextIasCheck_ = now + std::chrono::milliseconds(idlePollMs);
        }
        std::vector<pollfd> fds;
        fds.push_back({stopFd, POLLIN, 0});
        int cableIndex = -1, watchIndex = -1, listenIndex = -1, clientIndex = -1;
        if (cableDropBy_ && now >= cableDropSettled_ && (cable_->unreadBytes() == 0 || now >= *cableDropBy_))
            dropCable();
        if (cable_ && cableRestUntil_ <= now && !cableDropBy_) {
            cableIndex = static_cast<int>(fds.size());
            const bool due = cableSession_->nextDue() && *cableSession_->nextDue() <= now;
            const short in = cableSession_->wantsInput() ? POLLIN : 0;
            fds.push_back({cable_->fd(), static_cast<short>(in | (due ? POLLOUT : 0)), 0});
        }
        if (cable_ && cable_->watchFd() >= 0) {
            watchIndex = static_cast<int>(fds.size());
            fds.push_back({cable_->watchFd(), POLLIN, 0});
        }
        if (irda_ && !irdaClient_) {
            listenIndex = static_cast<int>(fds.size());
            fds.push_back({irda_->listenFd(), POLLIN, 0});
        }
        if (irdaClient_) {
            clientIndex = static_cast<int>(fds.size());
            const bool due = irdaSession_->nextDue() && *irdaSession_->nextDue() <= now;
            const short in = (irdaClientDone_ || !irdaSession_->wantsInput()) ? 0 : POLLIN;
            fds.push_back({irdaClient_.get(), static_cast<short>(in | (due ? POLLOUT : 0)), 0});
        }
        const int ready = ::poll(fds.data(), fds.size(), pollTimeoutMs());
        if (ready < 0 && errno != EINTR) {
            logger_.note("q5sim", std::string("cannot wait for the links: ") + std::strerror(errno));
            return;
        }
        if (fds[0].revents)
            return;

        // Port notices first: the bytes a reopened port sends must not be forgotten with the old session.
        if (watchIndex >= 0 && (fds[static_cast<std::size_t>(watchIndex)].revents & POLLIN))
            portChanged(cable_->takePortChanges());
        if (cable_ && !cableDropBy_) {
            if (cableIndex >= 0 && (fds[static_cast<std::size_t>(cableIndex)].revents & (POLLIN | POLLHUP | POLLERR))) {
                if (readInto(cable_->fd(), *cableSession_, false) == Flow::Closed)
                    cableRestUntil_ = LinkSession::Clock::now() + cableRest;
            }
            if (pump(cable_->fd(), *cableSession_, false) == Flow::Closed) {
                cableDropSettled_ = LinkSession::Clock::now() + drainSettle;
                cableDropBy_ = LinkSession::Clock::now() + dropGrace;
            }
        }
        if (listenIndex >= 0 && (fds[static_cast<std::size_t>(listenIndex)].revents & POLLIN)) {
            irdaClient_ = irda_->accept();
            if (irdaClient_) {
                irdaSession_->reset();
                irdaClientDone_ = false;
                logger_.note(irdaSession_->linkName(), "client connected");
            }
        }
        if (irdaClient_) {
            const short events = clientIndex >= 0 ? fds[static_cast<std::size_t>(clientIndex)].revents : 0;
            if (!irdaClientDone_ && (events & (POLLIN | POLLHUP | POLLERR)))
                irdaClientDone_ = readInto(irdaClient_.get(), *irdaSession_, true) == Flow::Closed;
            if (pump(irdaClient_.get(), *irdaSession_, true) == Flow::Closed)
                dropIrdaClient(irdaClientDone_ ? "client disconnected" : "link dropped");
            else if (irdaClientDone_ && irdaSession_->idle())
                dropIrdaClient("client disconnected");
        }
    }
}

} // namespace q5sim
