#include "IrdaDevice.h"

#include "orka/platform/StatePaths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace q5sim {
namespace fs = std::filesystem;

namespace {
std::runtime_error systemError(const std::string& what)
{
    return std::runtime_error(what + ": " + std::strerror(errno));
}

bool fillAddress(const std::string& text, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (text.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

// A socket file nobody listens on any more is left over from a handset that ended badly.
bool someoneListens(const sockaddr_un& address)
{
    UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return probe && ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}
} // namespace

std::string IrdaDevice::iasText(const IasVariant& variant)
{
    // IrCOMM parameters: identifier, length, value. 0x00 service type (bit 2: 9-wire,
    // bit 1: 3-wire cooked); 0x01 port type (bit 0: serial).
    const std::string serviceType = variant.no9Wire ? "000102" : "000104";
    const std::string parameters = variant.serviceLate ? "010101" + serviceType : serviceType;
    std::string text = "# IrDA information service of the simulated Q5 handset\n"
                       "# CLASS<TAB>ATTRIBUTE<TAB>TYPE<TAB>VALUE; TYPE is octets (hex), int or string\n"
                       "Device\tDeviceName\tstring\tQ5\n";
    if (!variant.noIrcomm)
        text += "IrDA:IrCOMM\tParameters\toctets\t" + parameters + "\n"
                "IrDA:IrCOMM\tIrDA:TinyTP:LsapSel\tint\t2\n";
    return text;
}

IrdaDevice::IrdaDevice(fs::path busDir, std::string name, const IasVariant& variant)
    : socket_(busDir / (name + ".sock")), ias_(busDir / (name + ".ias"))
{
    std::error_code ec;
    fs::create_directories(busDir, ec);
    sockaddr_un address;
    if (!fillAddress(socket_.string(), address)) {
        // A socket address holds about 100 characters; a deeper bus folder is reached
        // through a descriptor of the folder (/proc/self/fd/N/NAME.sock).
        busFolder_.reset(::open(busDir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!busFolder_)
            throw systemError("cannot open " + busDir.string());
        const std::string viaFolder = "/proc/self/fd/" + std::to_string(busFolder_.get()) + "/" + name + ".sock";
        if (!fillAddress(viaFolder, address))
            throw std::runtime_error("the socket path " + socket_.string() + " is too long");
    }
    if (fs::exists(fs::symlink_status(socket_, ec))) {
        if (!fs::is_socket(fs::symlink_status(socket_, ec)))
            throw std::runtime_error(socket_.string() + " is in the way");
        if (someoneListens(address))
            throw std::runtime_error("another device already serves " + socket_.string());
        fs::remove(socket_, ec);
    }
    // The attributes come first: a PC that sees the socket may query them at once.
    describe(variant);
    UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listener)
        throw systemError("cannot make a socket");
    if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw systemError("cannot bind " + socket_.string());
    if (::listen(listener.get(), 8) != 0) {
        fs::remove(socket_, ec);
        throw systemError("cannot listen on " + socket_.string());
    }
    listener_ = std::move(listener);
}

IrdaDevice::~IrdaDevice()
{
    std::error_code ec;
    if (listener_)
        fs::remove(socket_, ec);
    listener_.reset();
    fs::remove(ias_, ec);
}

bool IrdaDevice::describe(const IasVariant& variant)
{
    if (listener_ && variant == variant_)
        return false;
    const std::string text = iasText(variant);
    if (!orka::platform::writeFileAtomically(ias_, text.data(), text.size()))
        throw std::runtime_error("cannot write " + ias_.string());
    variant_ = variant;
    return true;
}

UniqueFd IrdaDevice::accept()
{
    return UniqueFd(::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
}

} // namespace q5sim
