#include "orka/app/GalleryNames.h"

#include "orka/app/OrkaFile.h"
#include "orka/platform/Codepage.h"

namespace orka::app {

std::string safeFileName(const std::string& name)
{
    return name.substr(0, name.find_first_of(kForbiddenNameCharacters));
}

bool hasForbiddenCharacter(std::string_view name)
{
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || kForbiddenNameCharacters.find(c) != std::string_view::npos)
            return true;
    }
    return false;
}

std::optional<unsigned> nameRefusal(const std::string& name)
{
    if (name.empty() || name.front() == '.')
        return kStrEmptyName;
    if (hasForbiddenCharacter(name))
        return kStrBadName;
    const auto ansi = platform::Codepage::utf8ToAnsi(name);
    if (!ansi || ansi->find('\0') != std::string::npos)
        return kStrBadName;
    if (ansi->size() > kMaxNameBytes)
        return kStrLongName;
    return std::nullopt;
}

} // namespace orka::app
