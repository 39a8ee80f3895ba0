#pragma once
// The cable: a pseudo-terminal in raw mode whose slave side is reached through a
// symbolic link (dosdevices/com<N>), where the PC opens its numbered COM port.
#include "UniqueFd.h"

#include <filesystem>
#include <string>

namespace q5sim {

class PtyLink {
public:
    // Opens the pseudo-terminal and makes the link (an old link there is replaced).
    // Throws std::runtime_error.
    explicit PtyLink(std::filesystem::path linkPath);
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    int fd() const { return master_.get(); }
    // Readable when the PC opened or closed its port (-1 when the system cannot tell).
    int watchFd() const { return watch_.get(); }

    enum class PortChange { None, Opened, Closed, ClosedAndOpened };
    // Takes the open and close notices that came in. When the PC has closed the port,
    // what it did not read is discarded and the port is no longer exclusive (the terminal
    // lives on in the handset, so the system alone would keep both).
    PortChange takePortChanges();
    const std::filesystem::path& linkPath() const { return link_; }
    const std::string& slavePath() const { return slave_; }

    // Bytes the handset sent that the PC has not read yet.
    int unreadBytes() const;
    // Pulls the cable and plugs it in again: a fresh terminal takes the link's place and
    // the PC's open port hangs up.
    void replug();

private:
    void open();
    void removeLinkIfOurs() const;

    std::filesystem::path link_;
    std::string slave_;
    UniqueFd master_;
    // The handset keeps the slave side open itself, so the terminal lives on while the PC
    // closes and reopens its port.
    UniqueFd keeper_;
    UniqueFd watch_;
};

} // namespace q5sim
