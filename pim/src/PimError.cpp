#include "orka/pim/PimError.h"

#include "orka/StringTable.h"

#include <cstdio>

namespace orka::pim {
namespace {

// The text shown to the user: the message, the diagnostic line and the cause's own text.
std::string composeText(const std::string& message, const Diagnostic& d, const std::string& cause)
{
    char line[64];
    std::snprintf(line, sizeof line, "%lu:%lu:%lu", d.area, d.function, d.point);
    std::string text = message + "\n" + line;
    if (!cause.empty())
        text += "\n" + cause;
    return text;
}
} // namespace

std::string formatMessage(unsigned messageId, const std::vector<std::string>& args)
{
    std::string text = loadString(messageId);
    if (text.empty())
        text = loadString(msg::kUnknownError);
    std::size_t from = 0;
    for (const auto& arg : args) {
        const auto at = text.find("%s", from);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, arg);
        from = at + arg.size();
    }
    return text;
}

std::string messageItem(unsigned messageId, std::size_t index)
{
    const std::string all = loadString(messageId);
    std::size_t from = 0;
    for (std::size_t i = 0; i < index; ++i) {
        from = all.find('|', from);
        if (from == std::string::npos)
            return {};
        ++from;
    }
    return all.substr(from, all.find('|', from) - from);
}

PimError::PimError(unsigned messageId, std::vector<std::string> args, Diagnostic where, std::string cause)
    : std::runtime_error(composeText(formatMessage(messageId, args), where, cause))
    , messageId_(messageId)
    , where_(where)
    , message_(formatMessage(messageId, args))
{
}

} // namespace orka::pim
