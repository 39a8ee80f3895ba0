#pragma once
// The phonebook and calendar entries in memory, as the handset and the contacts store share them.
// Texts are kept in the ANSI code page, as everywhere else the program holds handset texts.
#include <cstdint>
#include <string>

namespace orka::pim {

// Action word bits of an entry.
namespace action {
inline constexpr std::uint32_t kWriteToHandset = 0x04;   // bit 2 (bit 3, 0x08, means the same)
inline constexpr std::uint32_t kWriteToHandsetAlt = 0x08;
inline constexpr std::uint32_t kDeleteFromHandset = 2;   // the whole word equal to 2
inline constexpr std::uint32_t kAddToStore = 0x40;       // bit 6: add as a new item of the store
inline constexpr std::uint32_t kTicked = 0x1000;         // bit 12: ticked in the selection lists
} // namespace action

// A date and time with a valid flag; the fields are kept as read, even when not valid.
struct PimDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    bool valid = false;
    bool operator==(const PimDateTime&) const = default;
};

// The birthday range the handset and the store accept.
bool isValidBirthday(int year, int month, int day);
// The calendar's accepted range (hour up to 24 and minute up to 60 as the handset writes them).
bool isValidCalendarTime(const PimDateTime& t);

// Field numbers of a phonebook entry; the order of the column titles.
enum class ContactField {
    Name, Phone1, Phone2, Phone3, Phone4, Fax, Company, Title, Address, Email1, Email2, ZipCode,
    WebSite, Birthday, Remark
};
inline constexpr int kContactFieldCount = 15;
// The column title of a field ("Name", "Phone Number1", ...).
std::string contactFieldTitle(ContactField field);

// Store-side identity of an entry: the item's EntryID and its two times (OLE dates).
struct StoreIdentity {
    std::string entryId;
    double creationTime = 0;
    double lastModificationTime = 0;
    bool operator==(const StoreIdentity&) const = default;
};

class CContactItem {
public:
    std::uint16_t key = 0; // the handset location
    std::string name, phone1, phone2, phone3, phone4, fax, company, title, address, email1, email2, zipCode,
        webSite, remark;
    PimDateTime birthday; // date part only
    std::uint8_t trailer[6] = {};
    std::uint32_t actionWord = 0;
    StoreIdentity store;

    std::string& text(ContactField field);
    const std::string& text(ContactField field) const;
    bool ticked() const { return actionWord & action::kTicked; }
    void setTicked(bool on) { actionWord = on ? actionWord | action::kTicked : actionWord & ~action::kTicked; }
    bool operator==(const CContactItem&) const = default;
};

class CCalendarItem {
public:
    std::uint16_t key = 0; // the 0-based location; the handset calls use key + 1
    std::uint8_t flag = 0;
    PimDateTime when;
    std::string subject, content;
    std::uint32_t actionWord = 0;
    StoreIdentity store;

    bool ticked() const { return actionWord & action::kTicked; }
    void setTicked(bool on) { actionWord = on ? actionWord | action::kTicked : actionWord & ~action::kTicked; }
    bool operator==(const CCalendarItem&) const = default;
};

// Whether an action word asks for a write or a delete on the handset.
inline bool wantsHandsetWrite(std::uint32_t word)
{
    return word & (action::kWriteToHandset | action::kWriteToHandsetAlt);
}
inline bool wantsHandsetDelete(std::uint32_t word) { return word == action::kDeleteFromHandset; }

} // namespace orka::pim
