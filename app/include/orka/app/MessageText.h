#pragma once
// The one message routine of the program: the text every message box and every command-line
// tool shows for a failure or an outcome.
#include <array>
#include <string>
#include <vector>

namespace orka::app {

inline constexpr unsigned kStrWindowTitle = 57344;   // the caption of every message box
inline constexpr unsigned kStrNoDetails = 46001;     // "無法提供更詳細的錯誤資訊."

struct Message {
    unsigned textId = 0;              // 0: no text of its own (an exception's text alone)
    unsigned secondId = 0;            // shown on a line of its own when not 0
    std::vector<std::string> args;    // fill the text's %s and %d in order
    std::array<unsigned long, 3> diagnostic{}; // area, function, point; shown when area is not 0
    std::string exceptionText;        // an exception's own text, shown last
};

// The text of the message box: the text, the second text, "%lu:%lu:%lu", the exception's
// text, one a line. A text the table lacks, or a message with nothing in it, gives 46001.
std::string messageText(const Message& message);

// printf-style substitution of %s and %d by the arguments in order ("%%" is a percent sign);
// conversions without an argument are kept as they stand.
std::string formatText(const std::string& format, const std::vector<std::string>& args);

} // namespace orka::app
