#pragma once
// One simulated handset served on its links (the cable's pseudo-terminal and/or the
// IrDA bus) until a stop is asked for: a single-threaded poll loop, so both links take
// their turns at the one handset and its stores.
#include "FaultSet.h"
#include "HandsetStore.h"
#include "IrdaDevice.h"
#include "LinkSession.h"
#include "Logger.h"
#include "PtyLink.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace q5sim {

struct SimulatorOptions {
    std::filesystem::path storeDir;
    std::optional<int> comPort;
    std::optional<std::string> irdaName;
};

class Simulator {
public:
    // Opens the links; throws std::runtime_error when one cannot be served.
    Simulator(const SimulatorOptions& options, HandsetStore& store, FaultSet& faults, Logger& logger);

    // The line printed at start: what is served where.
    std::string servingText() const;
    // Runs until stopFd becomes readable (the signal handler writes to it).
    void run(int stopFd);

private:
    enum class Flow { Open, Closed };
    Flow readInto(int fd, LinkSession& session, bool socket);
    Flow pump(int fd, LinkSession& session, bool socket);
    void dropCable();
    void portChanged(PtyLink::PortChange change);
    void dropIrdaClient(const char* why);
    int pollTimeoutMs() const;

    std::optional<int> comPort_;
    std::string irdaName_;
    FaultSet& faults_;
    Logger& logger_;
    std::unique_ptr<PtyLink> cable_;
    std::unique_ptr<LinkSession> cableSession_;
    std::unique_ptr<IrdaDevice> irda_;
    std::unique_ptr<LinkSession> irdaSession_;
    UniqueFd irdaClient_;
    bool irdaClientDone_ = false; // the client closed its sending side; answer what came, then close
    // When the PC side of the terminal is closed, the master reports a hang-up on every
    // poll; it is then looked at again only after a short rest.
    LinkSession::Clock::time_point cableRestUntil_{};
    LinkSession::Clock::time_point nextIasCheck_{}; // the fault file may change the attributes
    // A drop waits (a little) until the PC has read the last answer, then pulls the cable.
    // The terminal passes written bytes on to the PC's side a moment later, so the
    // count of unread bytes is trusted only after a short settling time.
    std::optional<LinkSession::Clock::time_point> cableDropBy_;
    LinkSession::Clock::time_point cableDropSettled_{};
};

} // namespace q5sim
