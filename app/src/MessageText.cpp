#include "orka/app/MessageText.h"

#include "orka/StringTable.h"

#include <cstdio>

namespace orka::app {

std::string formatText(const std::string& format, const std::vector<std::string>& args)
{
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        const char conv = format[i + 1];
        if (conv == '%') {
            out += '%';
            ++i;
        } else if ((conv == 's' || conv == 'd') && next < args.size()) {
            out += args[next++];
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string messageText(const Message& message)
{
    std::string text;
    auto addLine = [&text](const std::string& line) {
        if (!text.empty())
            text += '\n';
        text += line;
    };
    if (message.textId != 0) {
        const auto found = findString(message.textId);
        addLine(found ? formatText(std::string(*found), message.args) : loadString(kStrNoDetails));
    }
    if (message.secondId != 0) {
        const auto found = findString(message.secondId);
        addLine(found ? std::string(*found) : loadString(kStrNoDetails));
    }
    if (message.diagnostic[0] != 0) {
        char numbers[80];
        std::snprintf(numbers, sizeof numbers, "%lu:%lu:%lu", message.diagnostic[0], message.diagnostic[1],
                      message.diagnostic[2]);
        addLine(numbers);
    }
    if (!message.exceptionText.empty())
        addLine(message.exceptionText);
    if (text.empty())
        text = loadString(kStrNoDetails);
    return text;
}

} // namespace orka::app
