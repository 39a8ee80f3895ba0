#pragma once
// The byte layout of phonebook and calendar entries on the handset, and the text and number
// codings inside them: alpha fields as SIM phonebooks code them, BCD dialling numbers, and the
// calendar's plain little-endian UCS-2. Decoders take bytes from outside and never read past
// them; encoders fill whole records.
#include "orka/pim/PimItems.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orka::pim {

inline constexpr std::size_t kPhonebookRecordSize = 272;
inline constexpr std::size_t kCalendarRecordSize = 83;
inline constexpr std::size_t kDiallingFieldSize = 16;
inline constexpr std::size_t kCalendarSubjectChars = 15;
inline constexpr std::size_t kCalendarContentChars = 20;
inline constexpr std::size_t kMaxNumberChars = 20;

// Alpha fields. Decoding stops at the field's end whatever counts the bytes claim.
std::u16string decodeAlphaField(const std::uint8_t* field, std::size_t size);
// Fills the field (0xFF first) with the first scheme that fits; false when none does.
bool encodeAlphaField(const std::u16string& text, std::uint8_t* field, std::size_t size);

// Dialling numbers ("0123456789*#p?+"): empty when the field holds none.
std::string decodeDiallingNumber(const std::uint8_t* field, std::size_t size);
// Writes a 16-byte field; false when the number is empty, too long or has other characters.
bool encodeDiallingNumber(const std::string& number, std::uint8_t* field);

// Whole records. A record shorter than its layout decodes the fields it holds.
CContactItem decodeContact(const std::uint8_t* record, std::size_t size);
// Throws PimError (20026, 20027, 20019). Fills an empty phone number 1 from the first other
// number, in the entry itself, as the handset needs a first number.
std::vector<std::uint8_t> encodeContact(CContactItem& contact);

// key is the entry's 0-based location (the handset key minus 1).
CCalendarItem decodeCalendar(const std::uint8_t* record, std::size_t size, std::uint16_t key);
// nullopt when the entry is refused: no valid date, or a year outside 2000-2099.
std::optional<std::vector<std::uint8_t>> encodeCalendar(const CCalendarItem& entry);

} // namespace orka::pim
