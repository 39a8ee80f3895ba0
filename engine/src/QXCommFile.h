#pragma once
// The serial link: a COM port with the engine's settings, read one byte at a time.
#include "EngineLink.h"

#include "orka/platform/SerialPort.h"

#include <memory>
#include <string>

namespace orka::engine {

class CQXCommFile : public CEngineLink {
public:
    explicit CQXCommFile(int portNumber);
    ~CQXCommFile() override;

    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 256;

    // Opens "COM<n>:"; raises CFileException when the port cannot be opened or n is outside
    // kFirstPort..kLastPort.
    void Open();
    // Reads the port's state and sets the engine's base flags and time-outs.
    void LoadPortState();
    // Takes the serial settings chosen by the user (baud rate, size, parity, stop bits and
    // the parity, DTR, RTS and XON/XOFF flags) and the queue size and read time-outs.
    void TakeSettings(const platform::DCB& settings);
    // Applies queue sizes, purge, state, time-outs, DTR and RTS; raises CLinkException.
    void ApplyPortSettings();
    bool Purge();

    bool WriteText(const std::string& text) override;
    bool ReadLine(std::string& line) override;
    std::string DiscardInput() override;
    void SetResponseTimeout(std::uint32_t milliseconds) override { timeouts_.ReadTotalTimeoutConstant = milliseconds; }
    std::uint32_t ResponseTimeout() const override { return timeouts_.ReadTotalTimeoutConstant; }
    void Close() override;
    bool isInfrared() const override { return false; }

    const std::string& fileName() const { return fileName_; }
    const platform::DCB& portState() const { return state_; }
    const platform::COMMTIMEOUTS& timeouts() const { return timeouts_; }
    std::uint32_t queueSize() const { return queueSize_; }

private:
    int portNumber_;
    std::string fileName_;
    platform::SerialPort port_;
    std::uint32_t queueSize_ = 0;
    platform::DCB state_{};
    platform::COMMTIMEOUTS timeouts_{};
};

} // namespace orka::engine
