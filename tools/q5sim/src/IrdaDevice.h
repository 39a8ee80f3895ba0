#pragma once
// The handset on the virtual IrDA bus: a listening Unix stream socket <name>.sock in the
// bus folder with its information-service attributes beside it in <name>.ias.
#include "FaultSet.h"
#include "UniqueFd.h"

#include <filesystem>
#include <string>

namespace q5sim {

class IrdaDevice {
public:
    // Writes the attributes, then listens. Throws std::runtime_error (a live device of the
    // same name, a path too long for a socket, ...).
    IrdaDevice(std::filesystem::path busDir, std::string name, const IasVariant& variant);
    ~IrdaDevice();
    IrdaDevice(const IrdaDevice&) = delete;
    IrdaDevice& operator=(const IrdaDevice&) = delete;

    int listenFd() const { return listener_.get(); }
    const std::filesystem::path& socketPath() const { return socket_; }
    const std::filesystem::path& iasPath() const { return ias_; }

    // The next waiting client (non-blocking), or an empty handle.
    UniqueFd accept();
    // Rewrites the attributes when the faults asked for another variant; true when it did.
    bool describe(const IasVariant& variant);

    // The attribute file's text for a variant.
    static std::string iasText(const IasVariant& variant);

private:
    std::filesystem::path socket_;
    std::filesystem::path ias_;
    UniqueFd busFolder_; // only when the socket path is too long to bind directly
    UniqueFd listener_;
    IasVariant variant_;
};

} // namespace q5sim
