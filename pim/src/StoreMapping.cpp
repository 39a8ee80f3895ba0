#include "orka/pim/StoreMapping.h"

#include "orka/pim/AnsiText.h"

namespace orka::pim {
namespace {
using platform::OutlookItem;

constexpr int kFirstYearWithoutBirthday = 3000;

struct TextProperty {
    ContactField field;
    const char* property;
};
// Contact fields that map one to one, both ways.
constexpr TextProperty kContactTexts[] = {
    {ContactField::Phone1, "MobileTelephoneNumber"}, {ContactField::Phone2, "HomeTelephoneNumber"},
    {ContactField::Phone3, "BusinessTelephoneNumber"}, {ContactField::Phone4, "OtherTelephoneNumber"},
    {ContactField::Fax, "BusinessFaxNumber"},         {ContactField::Company, "CompanyName"},
    {ContactField::Title, "JobTitle"},                {ContactField::Email1, "Email1Address"},
    {ContactField::Email2, "Email2Address"},          {ContactField::ZipCode, "HomeAddressPostalCode"},
    {ContactField::WebSite, "WebPage"},               {ContactField::Remark, "Body"},
};
// The address read from the store: these joined in this order, without separators.
constexpr const char* kAddressParts[] = {"HomeAddressPostalCode", "HomeAddressCountry", "HomeAddressState",
                                         "HomeAddressCity", "HomeAddressStreet"};

std::string ansi(const OutlookItem& item, const char* property) { return ansiFromUtf8(item.text(property)); }
void setUtf8(OutlookItem& item, const char* property, const std::string& ansiText)
{
    item.set(property, utf8FromAnsi(ansiText));
}

StoreIdentity identityOf(const OutlookItem& item)
{
    return {item.text("EntryID"), item.date("CreationTime").value_or(0), item.date("LastModificationTime").value_or(0)};
}

PimDateTime pimTime(platform::OleDate date, bool valid)
{
    const auto t = platform::fromOleDate(date);
    return {t.year, t.month, t.day, t.hour, t.minute, valid};
}

platform::OleDate oleDate(const PimDateTime& t)
{
    return platform::toOleDate({t.year, t.month, t.day, t.hour, t.minute, 0});
}
} // namespace

CContactItem contactFromItem(const OutlookItem& item)
{
    CContactItem c;
    c.name = ansi(item, "FullName");
    if (c.name.empty())
        c.name = ansi(item, "FileAs");
    for (const auto& m : kContactTexts)
        c.text(m.field) = ansi(item, m.property);
    for (const char* part : kAddressParts)
        c.address += ansi(item, part);
    if (auto birthday = item.date("Birthday")) {
        const auto t = pimTime(*birthday, true);
        if (t.year < kFirstYearWithoutBirthday)
            c.birthday = {t.year, t.month, t.day, 0, 0, true};
    }
    c.store = identityOf(item);
    return c;
}

void fillItem(OutlookItem& item, const CContactItem& c)
{
    setUtf8(item, "FullName", c.name);
    setUtf8(item, "FileAs", c.name);
    for (const auto& m : kContactTexts)
        if (!c.text(m.field).empty())
            setUtf8(item, m.property, c.text(m.field));
    if (!c.address.empty())
        setUtf8(item, "HomeAddressStreet", c.address);
    if (c.birthday.valid)
        item.set("Birthday", oleDate({c.birthday.year, c.birthday.month, c.birthday.day, 0, 0, true}));
}

CCalendarItem calendarFromItem(const OutlookItem& item)
{
    CCalendarItem e;
    e.subject = ansi(item, "Subject");
    e.content = ansi(item, "Body");
    e.flag = static_cast<std::uint8_t>(item.number("Importance"));
    if (auto reminder = item.date("ReminderTime"))
        e.when = pimTime(*reminder, item.flag("ReminderSet"));
    e.store = identityOf(item);
    return e;
}

void fillItem(OutlookItem& item, const CCalendarItem& e)
{
    setUtf8(item, "Subject", e.subject);
    if (!e.content.empty())
        setUtf8(item, "Body", e.content);
    item.set("Importance", static_cast<long>(e.flag));
    if (e.when.valid) {
        const auto when = oleDate(e.when);
        item.set("StartDate", when);
        item.set("ReminderTime", when);
        item.set("ReminderSet", true);
    }
}

} // namespace orka::pim
