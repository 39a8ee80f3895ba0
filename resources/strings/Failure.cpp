#include "orka/Failure.h"

#include "orka/StringTable.h"

namespace orka {
namespace {
std::string failureText(unsigned messageId, const std::string& detail)
{
    std::string text = formatString(messageId, detail);
    // A missing text still says which one it was, so the report can be traced.
    return text.empty() ? "error " + std::to_string(messageId) : text;
}
} // namespace

Failure::Failure(unsigned messageId, std::string detail)
    : std::runtime_error(failureText(messageId, detail))
    , messageId_(messageId)
    , detail_(std::move(detail))
{
}

} // namespace orka
