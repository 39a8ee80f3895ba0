#include "orka/platform/IrdaSockets.h"
#include "orka/platform/StatePaths.h"
#include "orka/common/HexText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace orka::platform {
namespace fs = std::filesystem;

namespace {
// An octet-sequence attribute holds at most this many bytes; longer values are cut there.
constexpr std::size_t kMaxIasOctets = 1024;

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        auto tab = line.find('\t', start);
        parts.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    if (!parts.empty() && !parts.back().empty() && parts.back().back() == '\r')
        parts.back().pop_back();
    return parts;
}

std::string readText(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
} // namespace

IrdaSocket::~IrdaSocket() { close(); }

fs::path IrdaSocket::busDir() { return StatePaths::irdaDir(); }

std::uint32_t IrdaSocket::deviceIdFor(const std::string& name)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : name) {
        h ^= c;
        h *= 16777619u;
    }
    return h ? h : 1;
}

std::string IrdaSocket::errorText(int error)
{
    char buf[256];
    const char* t = strerror_r(error, buf, sizeof buf);
    return t ? std::string(t) : std::string();
}

bool IrdaSocket::hasClass(const std::string& iasText, const std::string& className)
{
    std::istringstream in(iasText);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (splitTabs(line)[0] == className)
            return true;
    }
    return false;
}

IasAttribute IrdaSocket::findAttribute(const std::string& iasText, const std::string& className, const std::string& attribute)
{
    std::istringstream in(iasText);
    std::string line;
    IasAttribute a;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        auto f = splitTabs(line);
        if (f.size() < 4 || f[0] != className || f[1] != attribute)
            continue;
        if (f[2] == "octets") {
            a.type = IasType::OctetSeq;
            a.octets = common::decodeHexPrefix(f[3], kMaxIasOctets);
        } else if (f[2] == "int") {
            a.type = IasType::Integer;
            a.integer = static_cast<std::int32_t>(std::strtol(f[3].c_str(), nullptr, 10));
        } else if (f[2] == "string") {
            a.type = IasType::UserString;
            a.text = f[3];
        }
        return a;
    }
    return a;
}

int IrdaSocket::create()
{
    close();
    created_ = true;
    nineWire_ = false;
    return 0;
}

int IrdaSocket::enumerateDevices(std::vector<IrdaDevice>& devices)
{
    devices.clear();
    if (!created_)
        return lastError_ = ENOTSOCK;
    std::error_code ec;
    fs::path dir = busDir();
    if (!fs::is_directory(dir, ec))
        return 0; // an empty bus: no device in range
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        if (e.path().extension() != ".sock")
            continue;
        if (!fs::is_socket(e.symlink_status(ec)))
            continue;
        fs::path ias = e.path();
        ias.replace_extension(".ias");
        if (!fs::exists(ias, ec))
            continue;
        std::string name = e.path().stem().string();
        devices.push_back({deviceIdFor(name), name});
    }
    std::sort(devices.begin(), devices.end(), [](const IrdaDevice& a, const IrdaDevice& b) { return a.name < b.name; });
    return 0;
}

bool IrdaSocket::deviceName(std::uint32_t deviceId, std::string& name)
{
    std::vector<IrdaDevice> devices;
    if (enumerateDevices(devices) != 0)
        return false;
    for (const auto& d : devices)
        if (d.deviceId == deviceId) {
            name = d.name;
            return true;
        }
    return false;
}

int IrdaSocket::queryIas(std::uint32_t deviceId, const std::string& className, const std::string& attribute, IasAttribute& out)
{
    out = IasAttribute{};
    if (!created_)
        return lastError_ = ENOTSOCK;
    std::string name;
    if (!deviceName(deviceId, name))
        return lastError_ = EHOSTUNREACH;
    out = findAttribute(readText(busDir() / (name + ".ias")), className, attribute);
    return 0;
}

int IrdaSocket::setNineWireMode(bool on)
{
    if (!created_)
        return lastError_ = ENOTSOCK;
    nineWire_ = on;
    return 0;
}

int IrdaSocket::connect(std::uint32_t deviceId, const std::string& serviceName)
{
    if (!created_)
        return lastError_ = ENOTSOCK;
    if (fd_ >= 0)
        return lastError_ = EISCONN;
    std::string name;
    if (!deviceName(deviceId, name))
        return lastError_ = EHOSTUNREACH;
    // A service is reachable when the device lists it in its information service.
    if (!hasClass(readText(busDir() / (name + ".ias")), serviceName))
        return lastError_ = ECONNREFUSED;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = (busDir() / (name + ".sock")).string();
    if (path.size() >= sizeof addr.sun_path)
        return lastError_ = ENAMETOOLONG;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return lastError_ = errno;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        int e = errno;
        ::close(fd);
        return lastError_ = e;
    }
    fd_ = fd;
    return 0;
}

long IrdaSocket::recv(void* buffer, std::size_t size)
{
    if (fd_ < 0) {
        lastError_ = ENOTCONN;
        return -1;
    }
    for (;;) {
        ssize_t n = ::recv(fd_, buffer, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            lastError_ = errno;
        return static_cast<long>(n);
    }
}

long IrdaSocket::send(const void* buffer, std::size_t size)
{
    if (fd_ < 0) {
        lastError_ = ENOTCONN;
        return -1;
    }
    const auto* p = static_cast<const char*>(buffer);
    std::size_t put = 0;
    while (put < size) {
        ssize_t n = ::send(fd_, p + put, size - put, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            lastError_ = errno;
            return -1;
        }
        put += static_cast<std::size_t>(n);
    }
    return static_cast<long>(put);
}

void IrdaSocket::shutdown()
{
    if (fd_ >= 0)
        ::shutdown(fd_, SHUT_RDWR);
}

void IrdaSocket::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    created_ = false;
}

} // namespace orka::platform
