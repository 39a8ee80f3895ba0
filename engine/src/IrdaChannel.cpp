#include "IrdaChannel.h"
#include "EngineStrings.h"
#include "LinkException.h"

#include <chrono>
#include <vector>

namespace orka::engine {
using namespace orka::platform;
using Clock = std::chrono::steady_clock;

namespace {
constexpr const char* kIrComm = "IrDA:IrCOMM";
constexpr std::uint32_t kStageOpen = 100;

// Walks IrCOMM parameters (identifier, length, value bytes) for the service type (0) and
// checks its 9-wire bit.
bool offersNineWire(const std::vector<std::uint8_t>& p)
{
    std::size_t i = 0;
    while (i + 2 <= p.size()) {
        std::uint8_t id = p[i], len = p[i + 1];
        if (i + 2 + len > p.size())
            break;
        if (id == 0 && len >= 1 && (p[i + 2] & 0x04))
            return true;
        i += 2 + len;
    }
    return false;
}
} // namespace

CIrdaChannel::CIrdaChannel() { Reset(); }

CIrdaChannel::~CIrdaChannel() { Close(); }

void CIrdaChannel::Reset()
{
    timeouts_[0] = 0xFFFFFFFFu;
    timeouts_[1] = 0;
    timeouts_[2] = 0;
    timeouts_[3] = 10;
    timeouts_[4] = 1000;
}

void CIrdaChannel::fail(std::uint32_t location, int socketError, const std::string& argument)
{
    socket_.close();
    throw CLinkException(kStrSerialSetup, kComponentInfrared, kStageOpen, location, static_cast<std::uint32_t>(socketError), &argument);
}

void CIrdaChannel::Open()
{
    if (connected_)
        return;
    if (int e = socket_.create(); e != 0)
        fail(154, e, IrdaSocket::errorText(e));

    std::vector<IrdaDevice> devices;
    for (int attempt = 0; attempt < kSearchTries; ++attempt) {
        if (int e = socket_.enumerateDevices(devices); e != 0)
            fail(173, e, IrdaSocket::errorText(e));
        if (!devices.empty())
            break;
        if (attempt + 1 < kSearchTries)
            std::this_thread::sleep_for(std::chrono::milliseconds(kSearchPauseMs));
    }
    if (devices.empty())
        fail(194, 0, engineString(kStrNoInfraredDevice));

    const auto device = devices.front();
    IasAttribute parameters;
    if (int e = socket_.queryIas(device.deviceId, kIrComm, "Parameters", parameters); e != 0)
        fail(219, e, IrdaSocket::errorText(e));
    if (parameters.type != IasType::OctetSeq || parameters.octets.size() < 3)
        fail(230, socket_.lastError(), engineString(kStrNoIrComm));
    if (!offersNineWire(parameters.octets))
        fail(265, socket_.lastError(), engineString(kStrNoNineWire));
    if (int e = socket_.setNineWireMode(true); e != 0)
        fail(280, e, IrdaSocket::errorText(e));
    if (int e = socket_.connect(device.deviceId, kIrComm); e != 0)
        fail(298, e, IrdaSocket::errorText(e));

    {
        std::lock_guard guard(lock_);
        receive_.clear();
        receiveError_.clear();
    }
    stop_ = false;
    readerEnded_ = false;
    try {
        reader_ = std::thread(&CIrdaChannel::readerLoop, this);
    } catch (const std::system_error& e) {
        fail(317, e.code().value(), std::string());
    }
    connected_ = true;
}

void CIrdaChannel::readerLoop()
{
    std::vector<char> buffer(4096);
    while (!stop_) {
        long n = socket_.recv(buffer.data(), buffer.size());
        if (n <= 0) {
            std::lock_guard guard(lock_);
            // A peer that closes the link ends the reader like a receive error.
            int err = n < 0 ? socket_.lastError() : ECONNRESET;
            if (!stop_)
                receiveError_ = IrdaSocket::errorText(err);
            stop_ = true;
            break;
        }
        std::string text(buffer.data(), static_cast<std::size_t>(n));
        traceReceivedRaw(text);
        {
            std::lock_guard guard(lock_);
            receive_ += text;
        }
        arrived_.notify_all();
    }
    readerEnded_ = true;
    arrived_.notify_all();
}

bool CIrdaChannel::WriteText(const std::string& text)
{
    if (!connected_)
        return false;
    if (text.empty())
        return true;
    traceLine(">", text);
    if (socket_.send(text.data(), text.size()) < 0) {
        int e = socket_.lastError();
        std::string why = IrdaSocket::errorText(e);
        throw CLinkException(kStrInfraredWrite, kComponentInfrared, 200, 386, static_cast<std::uint32_t>(e), &why);
    }
    return true;
}

std::size_t CIrdaChannel::ReadBytes(char* out, std::size_t size)
{
    std::lock_guard guard(lock_);
    if (receive_.empty() && stop_ && readerEnded_)
        throw CLinkException(kStrInfraredRead, kComponentInfrared, 300, 428, 0, &receiveError_);
    std::size_t n = std::min(size, receive_.size());
    receive_.copy(out, n);
    receive_.erase(0, n);
    return n;
}

bool CIrdaChannel::ReadLine(std::string& line)
{
    line.clear();
    if (!connected_)
        return false;
    bool waited = false;
    Clock::time_point firstWait;
    std::unique_lock guard(lock_);
    for (;;) {
        auto end = receive_.find_first_of(std::string_view("\n\0", 2));
        if (end != std::string::npos) {
            line.assign(receive_, 0, end);
            receive_.erase(0, end + 1);
            break;
        }
        if (stop_ && readerEnded_)
            throw CLinkException(kStrInfraredRead, kComponentInfrared, 350, 494, 0, &receiveError_);
        auto now = Clock::now();
        if (!waited) {
            waited = true;
            firstWait = now;
        } else if (std::chrono::duration_cast<std::chrono::milliseconds>(now - firstWait).count() >
                   static_cast<long long>(timeouts_[2])) {
            return false;
        }
        // Checks again at least every 100 ms; bytes arriving wake it at once.
        arrived_.wait_for(guard, std::chrono::milliseconds(100));
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    traceLine("<", line);
    return true;
}

std::string CIrdaChannel::DiscardInput()
{
    // A reader that has ended is reported by the read of the answer, not here.
    std::lock_guard guard(lock_);
    std::string stale;
    stale.swap(receive_);
    return stale;
}

void CIrdaChannel::Close()
{
    if (connected_) {
        stop_ = true;
        // Shutting the socket down wakes the reader out of its blocking receive.
        socket_.shutdown();
        if (reader_.joinable())
            reader_.join();
        connected_ = false;
    }
    if (reader_.joinable())
        reader_.join();
    socket_.close();
}

} // namespace orka::engine
