#pragma once
// Failures of the links. CLinkException carries a string-table id, four diagnostic
// numbers (component, stage, location, system error) and its text; CFileException is the
// failure to open a port at all.
#include <cstdint>
#include <exception>
#include <string>

namespace orka::engine {

// Components in the diagnostic numbers.
inline constexpr std::uint32_t kComponentSerial = 106;
inline constexpr std::uint32_t kComponentInfrared = 210;

class CLinkException : public std::exception {
public:
    // The text is the string of messageId formatted with argument (when formatArgument is
    // true), then a line feed and "%lu:%lu:%lu:%lu" when any number is not 0.
    CLinkException(std::uint32_t messageId, std::uint32_t component, std::uint32_t stage, std::uint32_t location,
                   std::uint32_t systemError, const std::string* argument = nullptr);

    const char* what() const noexcept override { return text_.c_str(); }
    const std::string& errorMessage() const { return text_; }
    std::uint32_t messageId() const { return messageId_; }
    std::uint32_t systemError() const { return numbers_[3]; }
    std::uint32_t component() const { return numbers_[0]; }
    std::uint32_t stage() const { return numbers_[1]; }
    std::uint32_t location() const { return numbers_[2]; }

    static constexpr std::size_t kMaxText = 511;

private:
    std::uint32_t messageId_;
    std::uint32_t numbers_[4];
    std::string text_;
};

// A port that cannot be opened; the text names the cause and the port.
class CFileException : public std::exception {
public:
    CFileException(int systemError, const std::string& fileName);
    const char* what() const noexcept override { return text_.c_str(); }
    int systemError() const { return systemError_; }

private:
    int systemError_;
    std::string text_;
};

// Cuts a UTF-8 text to at most maxBytes without splitting a character.
std::string truncateUtf8(const std::string& text, std::size_t maxBytes);
// printf-style "%s" substitution with one argument (other conversions are kept).
std::string formatWithText(const std::string& format, const std::string& argument);

} // namespace orka::engine
