#include "SimProcess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace q5test {
namespace fs = std::filesystem;

Port::Port(const fs::path& link, bool flush)
{
    fd_ = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0)
        throw std::runtime_error("cannot open " + link.string() + ": " + std::strerror(errno));
    termios tio{};
    ::tcgetattr(fd_, &tio);
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B115200);
    ::tcsetattr(fd_, TCSANOW, &tio);
    if (flush)
        ::tcflush(fd_, TCIOFLUSH);
}

Port::~Port()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void Port::send(const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error(std::string("write failed: ") + std::strerror(errno));
        done += static_cast<std::size_t>(n);
    }
}

std::optional<std::string> Port::line(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        if (auto end = buffer_.find('\n'); end != std::string::npos) {
            std::string text = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
            return text;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n <= 0)
            return std::nullopt;
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::vector<std::string> Port::command(const std::string& text, std::chrono::milliseconds limit)
{
    send(text + "\r");
    std::vector<std::string> lines;
    while (auto l = line(limit)) {
        lines.push_back(*l);
        if (isFinal(*l))
            break;
    }
    return lines;
}

bool Port::hungUp(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        if (p.revents & (POLLHUP | POLLERR))
            return true;
        char chunk[256];
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n == 0 || (n < 0 && errno == EIO))
            return true;
    }
    return false;
}

namespace {
int connectUnix(const fs::path& socketPath)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // Long paths go through a descriptor of the folder, as the simulator does.
    int folder = -1;
    std::string path = socketPath.string();
    if (path.size() >= sizeof address.sun_path) {
        folder = ::open(socketPath.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        path = "/proc/self/fd/" + std::to_string(folder) + "/" + socketPath.filename().string();
    }
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (folder >= 0)
        ::close(folder);
    if (rc != 0) {
        ::close(fd);
        throw std::runtime_error("cannot connect to " + socketPath.string());
    }
    return fd;
}
} // namespace

IrdaClient::IrdaClient(const fs::path& socket) : Port(connectUnix(socket)) {}

bool isFinal(const std::string& line)
{
    return line == "OK" || line == "ok" || line == "ERROR" || line.rfind("+CME ERROR", 0) == 0
        || line.rfind("+CMS ERROR", 0) == 0;
}

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::uint8_t> pattern(std::size_t size, unsigned seed)
{
    std::vector<std::uint8_t> bytes(size);
    unsigned x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return bytes;
}

} // namespace q5test

namespace q5test {

std::string writeItem(Port& port, int type, int index, int part, const std::vector<std::uint8_t>& data,
                      std::size_t blockHex)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (auto b : data) {
        hex.push_back(digits[b >> 4]);
        hex.push_back(digits[b & 15]);
    }
    const std::size_t count = (hex.size() + blockHex - 1) / blockHex;
    std::string last;
    for (std::size_t k = 1; k <= count; ++k) {
        const std::string block = hex.substr((k - 1) * blockHex, blockHex);
        auto lines = port.command("AT^QXBNW=" + std::to_string(type) + "," + std::to_string(index) + ","
                                  + std::to_string(part) + "," + std::to_string(count) + "," + std::to_string(k) + ","
                                  + std::to_string(block.size()) + ",\"" + block + "\"");
        last = lines.empty() ? std::string() : lines.back();
        if (last != "OK")
            break;
    }
    return last;
}

std::optional<std::vector<std::uint8_t>> readItem(Port& port, int type, int index, int part)
{
    auto lines = port.command("AT^QXBNR=" + std::to_string(type) + "," + std::to_string(index) + "," + std::to_string(part));
    if (lines.empty() || lines.back() != "OK")
        return std::nullopt;
    std::string hex;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        auto open = lines[i].find('"');
        auto close = lines[i].rfind('"');
        if (open == std::string::npos || close <= open)
            return std::nullopt;
        hex += lines[i].substr(open + 1, close - open - 1);
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

} // namespace q5test
