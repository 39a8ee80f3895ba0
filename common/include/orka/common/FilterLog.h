// The summary line that ends the channel filter's log after a conversion, written by the
// filter and read back by the ring-tone editor for its note counts.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace orka::common {

struct NoteCounts {
    unsigned long kept = 0;
    unsigned long total = 0;
};

inline constexpr const char* kNotesKeptFormat = "notes kept: %lu of %lu";

inline std::string notesKeptLine(const NoteCounts& counts)
{
    char text[64];
    std::snprintf(text, sizeof text, kNotesKeptFormat, counts.kept, counts.total);
    return text;
}

// The counts of the last summary line in `log`, if it has one.
inline std::optional<NoteCounts> lastNoteCounts(std::string_view log)
{
    const std::string_view prefix = "notes kept: ";
    const auto at = log.rfind(prefix);
    if (at == std::string_view::npos)
        return std::nullopt;
    const std::string line(log.substr(at, log.find('\n', at) - at));
    NoteCounts counts;
    if (std::sscanf(line.c_str(), kNotesKeptFormat, &counts.kept, &counts.total) != 2)
        return std::nullopt;
    return counts;
}

} // namespace orka::common
