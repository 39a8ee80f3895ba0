#include "LinkException.h"
#include "EngineStrings.h"

#include <cerrno>
#include <cstdio>

namespace orka::engine {

std::string truncateUtf8(const std::string& text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut);
}

std::string formatWithText(const std::string& format, const std::string& argument)
{
    std::string out;
    bool used = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (format[i + 1] == 's' && !used) {
                out += argument;
                used = true;
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

CLinkException::CLinkException(std::uint32_t messageId, std::uint32_t component, std::uint32_t stage,
                               std::uint32_t location, std::uint32_t systemError, const std::string* argument)
    : messageId_(messageId), numbers_{component, stage, location, systemError}
{
    std::string text = engineString(messageId);
    if (argument)
        text = formatWithText(text, *argument);
    if (component || stage || location || systemError) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "\n%u:%u:%u:%u", component, stage, location, systemError);
        text += buf;
    }
    if (text.empty())
        text = engineString(kStrNoDetails);
    text_ = truncateUtf8(text, kMaxText);
}

CFileException::CFileException(int systemError, const std::string& fileName) : systemError_(systemError)
{
    unsigned id;
    switch (systemError) {
    case ENOENT:
    case ENXIO:
    case ENODEV: id = kStrFileNotFound; break;
    case EACCES:
    case EPERM: id = kStrFileAccessDenied; break;
    case EBUSY: id = kStrFileSharingViolation; break;
    case ENOTTY: id = kStrFileBadPath; break;
    default: id = kStrFileGeneric; break;
    }
    text_ = formatWithText(engineString(id), fileName);
}

} // namespace orka::engine
