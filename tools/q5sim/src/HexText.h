#pragma once
// Store data travels as hex text: two digits per byte, upper case when the handset
// sends, either case accepted when it receives.
//
// The simulator keeps its own hex coding on purpose instead of the suite's common one: it
// stands in for the handset to check the engine, so a fault in the shared code must not be
// repeated on both ends of the link where it would cancel out.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace q5sim {

using Bytes = std::vector<std::uint8_t>;

// Appends the two digits of one byte.
void appendHex(std::string& text, std::uint8_t byte);

std::string toHex(const std::uint8_t* data, std::size_t size);
inline std::string toHex(const Bytes& bytes) { return toHex(bytes.data(), bytes.size()); }

// Empty optional when the text has an odd length or a character that is no hex digit.
std::optional<Bytes> fromHex(std::string_view text);

} // namespace q5sim
