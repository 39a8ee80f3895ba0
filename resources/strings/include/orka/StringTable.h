#pragma once
// The suite's string table: user-visible texts (UTF-8) by numeric id.
#include <optional>
#include <string>
#include <string_view>

namespace orka {

// The text of an id, or nullopt when the table has no such id.
std::optional<std::string_view> findString(unsigned id);
// The text of an id, or an empty string when there is none.
std::string loadString(unsigned id);
// The text of an id with its "%s" (the first one) replaced by argument.
std::string formatString(unsigned id, std::string_view argument);

} // namespace orka
