#include "orka/pim/PimItems.h"

#include "orka/pim/PimError.h"

#include <array>

namespace orka::pim {
namespace {
constexpr unsigned kContactColumnTitles = 4023; // "Name|Phone Number1|..."
constexpr int kFirstYear = 1901;
constexpr int kLastYear = 2999;
constexpr int kLastHour = 24;
constexpr int kLastMinute = 60;

bool validDate(int year, int month, int day)
{
    return year >= kFirstYear && year <= kLastYear && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}
} // namespace

bool isValidBirthday(int year, int month, int day) { return validDate(year, month, day); }

bool isValidCalendarTime(const PimDateTime& t)
{
    return validDate(t.year, t.month, t.day) && t.hour >= 0 && t.hour <= kLastHour && t.minute >= 0 &&
           t.minute <= kLastMinute;
}

std::string contactFieldTitle(ContactField field)
{
    return messageItem(kContactColumnTitles, static_cast<std::size_t>(field));
}
std::string& CContactItem::text(ContactField field)
{
    return const_cast<std::string&>(static_cast<const CContactItem&>(*this).text(field));
}

const std::string& CContactItem::text(ContactField field) const
{
    static const std::string none;
    switch (field) {
    case ContactField::Name: return name;
    case ContactField::Phone1: return phone1;
    case ContactField::Phone2: return phone2;
    case ContactField::Phone3: return phone3;
    case ContactField::Phone4: return phone4;
    case ContactField::Fax: return fax;
    case ContactField::Company: return company;
    case ContactField::Title: return title;
    case ContactField::Address: return address;
    case ContactField::Email1: return email1;
    case ContactField::Email2: return email2;
    case ContactField::ZipCode: return zipCode;
    case ContactField::WebSite: return webSite;
    case ContactField::Remark: return remark;
    case ContactField::Birthday: break;
    }
    return none;
}

} // namespace orka::pim
