#include "orka/picture/PictureError.h"

#include "orka/StringTable.h"

#include <string>

namespace orka {

namespace {
std::string composeText(PictureMessage message, const std::string& argument)
{
    std::string text = loadString(static_cast<unsigned>(message));
    if (text.empty())
        text = "picture error " + std::to_string(static_cast<unsigned>(message));
    if (auto at = text.find("%s"); at != std::string::npos)
        text.replace(at, 2, argument);
    return text;
}
} // namespace

PictureError::PictureError(PictureMessage message, PictureSource source, std::string argument, unsigned line)
    : std::runtime_error(composeText(message, argument))
    , message_(message)
    , source_(source)
    , line_(line)
{
}

} // namespace orka
