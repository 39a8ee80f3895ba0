// Handset records from outside: every decoder reads only the bytes it is given (they are
// copied to exactly their size), and whatever decodes and can be coded again decodes to the
// same entry.
#include "orka/pim/HandsetCodec.h"
#include "orka/pim/PimError.h"

#include <cstdint>
#include <vector>

using namespace orka::pim;

namespace {
void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void alphaRoundTrip(const std::vector<std::uint8_t>& bytes)
{
    const std::u16string text = decodeAlphaField(bytes.data(), bytes.size());
    // A field large enough for UCS-2 always takes the text, and gives it back unchanged.
    std::vector<std::uint8_t> field(2 * text.size() + 4);
    check(encodeAlphaField(text, field.data(), field.size()));
    check(decodeAlphaField(field.data(), field.size()) == text);
}

void contactRoundTrip(const std::vector<std::uint8_t>& bytes)
{
    CContactItem contact = decodeContact(bytes.data(), bytes.size());
    std::vector<std::uint8_t> record;
    try {
        record = encodeContact(contact);
    } catch (const PimError&) {
        return; // too long for the handset, or no usable number: refused, as it should be
    }
    check(record.size() == kPhonebookRecordSize);
    const CContactItem again = decodeContact(record.data(), record.size());
    for (int f = 0; f < 15; ++f)
        if (f != static_cast<int>(ContactField::Email2) && f != static_cast<int>(ContactField::ZipCode) &&
            f != static_cast<int>(ContactField::WebSite))
            check(again.text(static_cast<ContactField>(f)) == contact.text(static_cast<ContactField>(f)));
    check(again.birthday == contact.birthday);
}

void calendarRoundTrip(const std::vector<std::uint8_t>& bytes)
{
    const CCalendarItem entry = decodeCalendar(bytes.data(), bytes.size(), 0);
    const auto record = encodeCalendar(entry);
    if (!record)
        return;
    check(record->size() <= kCalendarRecordSize);
    const CCalendarItem again = decodeCalendar(record->data(), record->size(), 0);
    check(again.subject == entry.subject && again.content == entry.content && again.when == entry.when &&
          again.flag == entry.flag);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096)
        return 0;
    const std::vector<std::uint8_t> bytes(data, data + size);
    alphaRoundTrip(bytes);
    const std::vector<std::uint8_t> number(data, data + std::min<std::size_t>(size, kDiallingFieldSize));
    const std::string digits = decodeDiallingNumber(number.data(), number.size());
    std::uint8_t field[kDiallingFieldSize];
    if (encodeDiallingNumber(digits, field))
        check(decodeDiallingNumber(field, sizeof field) == digits);
    contactRoundTrip(bytes);
    calendarRoundTrip(bytes);
    return 0;
}
