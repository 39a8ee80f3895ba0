#pragma once
// A numbered serial port with the Windows communication settings the engine uses
// (device control block, queue sizes, time-outs, purge, DTR/RTS). "COM3:" opens
// <dosdevices>/com3 when that link exists (as Wine does), else /dev/ttyS2.
#include <cstddef>
#include <cstdint>
#include <string>

namespace orka::platform {

// The Windows device control block, 28 bytes, in its own field order.
struct DCB {
    std::uint32_t DCBlength = sizeof(DCB);
    std::uint32_t BaudRate = 0;
    std::uint32_t fBinary : 1 = 0;
    std::uint32_t fParity : 1 = 0;
    std::uint32_t fOutxCtsFlow : 1 = 0;
    std::uint32_t fOutxDsrFlow : 1 = 0;
    std::uint32_t fDtrControl : 2 = 0;
    std::uint32_t fDsrSensitivity : 1 = 0;
    std::uint32_t fTXContinueOnXoff : 1 = 0;
    std::uint32_t fOutX : 1 = 0;
    std::uint32_t fInX : 1 = 0;
    std::uint32_t fErrorChar : 1 = 0;
    std::uint32_t fNull : 1 = 0;
    std::uint32_t fRtsControl : 2 = 0;
    std::uint32_t fAbortOnError : 1 = 0;
    std::uint32_t fDummy2 : 17 = 0;
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 8;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    char XonChar = 0x11;
    char XoffChar = 0x13;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    std::uint16_t wReserved1 = 0;
};
static_assert(sizeof(DCB) == 28, "DCB keeps the Windows layout");

struct COMMTIMEOUTS {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};

inline constexpr std::uint32_t MAXDWORD = 0xFFFFFFFFu;
inline constexpr std::uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
inline constexpr std::uint8_t ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;
inline constexpr std::uint32_t DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1, DTR_CONTROL_HANDSHAKE = 2;
inline constexpr std::uint32_t RTS_CONTROL_DISABLE = 0, RTS_CONTROL_ENABLE = 1, RTS_CONTROL_HANDSHAKE = 2;
inline constexpr std::uint32_t PURGE_TXABORT = 1, PURGE_RXABORT = 2, PURGE_TXCLEAR = 4, PURGE_RXCLEAR = 8;
inline constexpr int SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6;

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens a port by its Windows name ("COM3:" or "COM12:"), read and write, exclusive.
    // Returns 0, or the system error number.
    int open(const std::string& windowsName);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    const std::string& name() const { return name_; }
    // The file the name resolved to (for messages and tests).
    const std::string& devicePath() const { return path_; }

    // Each returns true on success; lastError() gives the system error number otherwise.
    bool getState(DCB& dcb);
    bool setState(const DCB& dcb);
    bool setupComm(std::uint32_t inQueue, std::uint32_t outQueue);
    bool purge(std::uint32_t flags);
    bool setTimeouts(const COMMTIMEOUTS& timeouts);
    // DTR and RTS; a pseudo-terminal has no modem lines and the request is ignored.
    bool escape(int function);

    // Reads up to size bytes under the current time-outs; returns the count (0 when the
    // time ran out) or -1 on an error.
    long read(void* buffer, std::size_t size);
    // Reads what has already arrived, without waiting whatever the time-outs say (on Windows:
    // the input queue count of ClearCommError, then a read of that many bytes). Returns the
    // count (0 when nothing is waiting) or -1 on an error.
    long readWaiting(void* buffer, std::size_t size);
    // Writes all bytes under the write time-outs; returns the count written or -1.
    long write(const void* buffer, std::size_t size);
    int lastError() const { return lastError_; }

    // "COM3:" -> 3; 0 when the name is not a COM name.
    static int portNumber(const std::string& windowsName);
    // The file a port number opens.
    static std::string devicePathFor(int portNumber);

private:
    int fd_ = -1;
    int lastError_ = 0;
    std::string name_;
    std::string path_;
    DCB state_{};
    COMMTIMEOUTS timeouts_{};
};

} // namespace orka::platform
