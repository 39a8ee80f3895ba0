#include "orka/StringTable.h"

#include <algorithm>
#include <cstddef>

namespace orka {
struct StringEntry {
    unsigned id;
    const char* text;
    std::size_t size;
};
extern const StringEntry kStringTable[];
extern const std::size_t kStringTableSize;

std::optional<std::string_view> findString(unsigned id)
{
    const StringEntry* end = kStringTable + kStringTableSize;
    const StringEntry* it = std::lower_bound(kStringTable, end, id,
                                             [](const StringEntry& e, unsigned v) { return e.id < v; });
    if (it == end || it->id != id)
        return std::nullopt;
    return std::string_view(it->text, it->size);
}

std::string loadString(unsigned id)
{
    auto s = findString(id);
    return s ? std::string(*s) : std::string();
}

std::string formatString(unsigned id, std::string_view argument)
{
    std::string text = loadString(id);
    if (const auto at = text.find("%s"); at != std::string::npos)
        text.replace(at, 2, argument);
    return text;
}
} // namespace orka
