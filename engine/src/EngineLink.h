#pragma once
// What the command exchange needs of a link: the cable and the infrared link offer the same.
#include <cstdint>
#include <string>

namespace orka::engine {

class CEngineLink {
public:
    virtual ~CEngineLink() = default;
    // Sends the bytes of the text (nothing for an empty text). May raise CLinkException.
    virtual bool WriteText(const std::string& text) = 0;
    // Reads one line: true when a line was read, false when the response time ran out
    // (or the link is not connected). May raise CLinkException.
    virtual bool ReadLine(std::string& line) = 0;
    // Takes and returns whatever has arrived and not been read (a late answer to an earlier
    // command), without waiting. May raise CLinkException.
    virtual std::string DiscardInput() = 0;
    // Stores the response time limit in milliseconds, used by ReadLine.
    virtual void SetResponseTimeout(std::uint32_t milliseconds) = 0;
    virtual std::uint32_t ResponseTimeout() const = 0;
    virtual void Close() = 0;
    virtual bool isInfrared() const = 0;
};

// Lines sent and received, written to the file named by ORKA_ENGINE_TRACE when it is set.
void traceLine(const char* direction, const std::string& text);
// Raw infrared input as it arrives, marked "\n<*Recv*>%s<*End Recv*>\n".
void traceReceivedRaw(const std::string& text);

} // namespace orka::engine
