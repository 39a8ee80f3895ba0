#pragma once
// Names that become parts of file names: the forbidden characters and the checks a name
// from outside passes before the gallery takes it.
#include <optional>
#include <string>
#include <string_view>

namespace orka::app {

// Backslash, slash, colon, asterisk, question mark, double quote, less-than, greater-than,
// vertical bar.
inline constexpr std::string_view kForbiddenNameCharacters = "\\/:*?\"<>|";

inline constexpr unsigned kStrBadName = 46030;   // "不合法的檔案或資料夾名稱..."
inline constexpr unsigned kStrLongName = 46031;  // "檔案或資料夾名稱過長."
inline constexpr unsigned kStrEmptyName = 46032; // "檔案或資料夾名稱不能為空白."

// The name cut at its first forbidden character.
std::string safeFileName(const std::string& name);
// True when the name holds a forbidden character or a control character (NUL included).
bool hasForbiddenCharacter(std::string_view name);
// Why a folder or item name (UTF-8) cannot be stored, or nullopt when it can: empty or
// starting with "." (46032), more than 255 bytes in the ANSI code page (46031), a forbidden
// or control character or no form in the ANSI code page (46030).
std::optional<unsigned> nameRefusal(const std::string& name);

} // namespace orka::app
