#include "QXCommFile.h"
#include "EngineStrings.h"
#include "LinkException.h"

#include <cerrno>
#include <chrono>
#include <thread>

namespace orka::engine {
using namespace orka::platform;
using Clock = std::chrono::steady_clock;

CQXCommFile::CQXCommFile(int portNumber)
    : portNumber_(portNumber), fileName_("COM" + std::to_string(portNumber) + ":")
{
}

CQXCommFile::~CQXCommFile() { Close(); }

void CQXCommFile::Open()
{
    // The system numbers its serial ports 1 to 256; another number names no port, even
    // when a device of that name happens to exist.
    if (portNumber_ < kFirstPort || portNumber_ > kLastPort)
        throw CFileException(ENOENT, fileName_);
    if (int err = port_.open(fileName_); err != 0)
        throw CFileException(err, fileName_);
}

void CQXCommFile::LoadPortState()
{
    state_ = DCB{};
    state_.DCBlength = sizeof(DCB);
    port_.getState(state_);
    state_.fBinary = 1;
    state_.fParity = 1;
    state_.fDtrControl = DTR_CONTROL_ENABLE;
    state_.fTXContinueOnXoff = 1;
    state_.fRtsControl = RTS_CONTROL_ENABLE;
    state_.fOutxCtsFlow = 0;
    state_.fOutxDsrFlow = 0;
    state_.fDsrSensitivity = 0;
    state_.fErrorChar = 0;
    state_.fNull = 0;
    state_.fAbortOnError = 0;
    timeouts_ = COMMTIMEOUTS{MAXDWORD, 0, 0, 10, 1000};
}

void CQXCommFile::TakeSettings(const DCB& s)
{
    state_.BaudRate = s.BaudRate;
    state_.ByteSize = s.ByteSize;
    state_.Parity = s.Parity;
    state_.StopBits = s.StopBits;
    state_.fParity = s.fParity;
    state_.fDtrControl = s.fDtrControl;
    state_.fRtsControl = s.fRtsControl;
    state_.fOutX = s.fOutX;
    state_.fInX = s.fInX;
    queueSize_ = 4096;
    // One read waits at most 100 ms; the write limits stay.
    timeouts_.ReadIntervalTimeout = 0;
    timeouts_.ReadTotalTimeoutMultiplier = 0;
    timeouts_.ReadTotalTimeoutConstant = 100;
}

void CQXCommFile::ApplyPortSettings()
{
    if (queueSize_ != 0)
        port_.setupComm(queueSize_, queueSize_);
    Purge();
    if (!port_.setState(state_))
        throw CLinkException(kStrSerialSetup, kComponentSerial, 500, 183, static_cast<std::uint32_t>(port_.lastError()), &fileName_);
    if (!port_.setTimeouts(timeouts_))
        throw CLinkException(kStrSerialTimeouts, kComponentSerial, 500, 187, static_cast<std::uint32_t>(port_.lastError()), &fileName_);
    port_.escape(SETDTR);
    port_.escape(SETRTS);
}

bool CQXCommFile::Purge()
{
    return port_.purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

bool CQXCommFile::WriteText(const std::string& text)
{
    if (text.empty())
        return true;
    traceLine(">", text);
    return port_.write(text.data(), text.size()) == static_cast<long>(text.size());
}

bool CQXCommFile::ReadLine(std::string& line)
{
    line.clear();
    bool missed = false;
    Clock::time_point firstMiss;
    char chunk[511];
    std::size_t used = 0;
    bool timedOut = false;
    for (;;) {
        unsigned char byte = 0;
        long n = port_.read(&byte, 1);
        if (n == 1) {
            if (byte == 0 || byte == '\n')
                break;
            chunk[used++] = static_cast<char>(byte);
            if (used == sizeof chunk) {
                line.append(chunk, used);
                used = 0;
            }
            continue;
        }
        if (n < 0) // a port error: wait out the poll time as a miss would
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        auto now = Clock::now();
        if (!missed) {
            missed = true;
            firstMiss = now;
        } else if (std::chrono::duration_cast<std::chrono::milliseconds>(now - firstMiss).count() >
                   static_cast<long long>(timeouts_.ReadTotalTimeoutConstant)) {
            timedOut = true;
            break;
        }
    }
    line.append(chunk, used);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (!timedOut)
        traceLine("<", line);
    return !timedOut;
}

std::string CQXCommFile::DiscardInput()
{
    std::string stale;
    char chunk[512];
    for (;;) {
        const long n = port_.readWaiting(chunk, sizeof chunk);
        if (n <= 0)
            break;
        stale.append(chunk, static_cast<std::size_t>(n));
    }
    return stale;
}

void CQXCommFile::Close() { port_.close(); }

} // namespace orka::engine
