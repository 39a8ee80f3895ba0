// Contact items as vCard files, through libebook-contacts' EContact, which reads vCard 2.1
// (quoted-printable, charsets), 3.0 and 4.0 as other address books write them.
#include "OutlookTime.h"
#include "orka/platform/OutlookApplication.h"

#include <libebook-contacts/libebook-contacts.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace orka::platform {
namespace {

struct GObjectUnref {
    void operator()(gpointer p) const { g_object_unref(p); }
};
using ContactPtr = std::unique_ptr<EContact, GObjectUnref>;
struct GFree {
    void operator()(gpointer p) const { g_free(p); }
};
using GText = std::unique_ptr<gchar, GFree>;

struct TextField {
    EContactField field;
    const char* property;
};
// Single-valued text properties and the contact fields that carry them.
constexpr TextField kTextFields[] = {
    {E_CONTACT_FULL_NAME, "FullName"},
    {E_CONTACT_ORG, "CompanyName"},
    {E_CONTACT_TITLE, "JobTitle"},
    {E_CONTACT_EMAIL_1, "Email1Address"},
    {E_CONTACT_EMAIL_2, "Email2Address"},
    {E_CONTACT_HOMEPAGE_URL, "WebPage"},
    {E_CONTACT_NOTE, "Body"},
    {E_CONTACT_UID, "EntryID"},
};
constexpr const char* kCreatedAttribute = "X-ORKA-CREATED";
constexpr const char* kPhoneAttribute = "TEL";
constexpr const char* kAddressAttribute = "ADR";

// Texts from files in a charset the reader did not know may not be UTF-8 after all.
std::string validUtf8(const char* s)
{
    if (!s)
        return {};
    if (g_utf8_validate(s, -1, nullptr))
        return s;
    GText fixed(g_utf8_make_valid(s, -1));
    return fixed.get();
}

// "20261207T134000Z", "2026-12-07T13:40:00Z" and the like: a UTC time to a local OLE date.
std::optional<OleDate> parseUtcStamp(const std::string& text)
{
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9')
            digits += c;
    if (digits.size() < 8)
        return std::nullopt;
    CivilTime t;
    t.hour = t.minute = t.second = 0;
    std::sscanf(digits.c_str(), "%4d%2d%2d%2d%2d%2d", &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second);
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31)
        return std::nullopt;
    return localOleDate(utcFromCivil(t));
}

std::string utcStamp(OleDate local)
{
    const std::time_t t = utcFromLocalOleDate(local);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buf;
}

// Telephone numbers by their types, the first of each kind; the types this writes for them.
struct PhoneSlot {
    const char* property;
    const char* types[2];
};
constexpr PhoneSlot kPhoneSlots[] = {
    {"MobileTelephoneNumber", {"CELL", nullptr}}, {"BusinessFaxNumber", {"WORK", "FAX"}},
    {"PagerNumber", {"PAGER", nullptr}},          {"HomeTelephoneNumber", {"HOME", "VOICE"}},
    {"BusinessTelephoneNumber", {"WORK", "VOICE"}}, {"OtherTelephoneNumber", {"VOICE", nullptr}},
};

// Which property a TEL line feeds: a number without a known type (a plain "TEL:" line of a
// simple address book) is the other number.
const char* phoneProperty(EVCardAttribute* attr)
{
    auto has = [&](const char* type) { return e_vcard_attribute_has_type(attr, type); };
    if (has("CELL"))
        return "MobileTelephoneNumber";
    if (has("FAX"))
        return has("HOME") ? nullptr : "BusinessFaxNumber";
    if (has("PAGER"))
        return "PagerNumber";
    if (has("HOME"))
        return "HomeTelephoneNumber";
    if (has("WORK"))
        return "BusinessTelephoneNumber";
    return "OtherTelephoneNumber";
}

void takePhones(EContact* contact, OutlookItem& item)
{
    for (GList* l = e_vcard_get_attributes(E_VCARD(contact)); l; l = l->next) {
        auto* attr = static_cast<EVCardAttribute*>(l->data);
        if (g_ascii_strcasecmp(e_vcard_attribute_get_name(attr), kPhoneAttribute) != 0)
            continue;
        const char* property = phoneProperty(attr);
        if (!property || !item.text(property).empty())
            continue;
        GText value(e_vcard_attribute_get_value(attr));
        if (value && *value.get())
            item.set(property, validUtf8(value.get()));
    }
}

void putPhones(EContact* contact, const OutlookItem& item)
{
    for (const auto& slot : kPhoneSlots) {
        const std::string number = item.text(slot.property);
        if (number.empty())
            continue;
        EVCardAttribute* attr = e_vcard_attribute_new(nullptr, kPhoneAttribute);
        for (const char* type : slot.types)
            if (type)
                e_vcard_attribute_add_param_with_value(attr, e_vcard_attribute_param_new("TYPE"), type);
        e_vcard_append_attribute_with_value(E_VCARD(contact), attr, number.c_str());
    }
}

void takeAddress(EContact* contact, OutlookItem& item)
{
    auto* address = static_cast<EContactAddress*>(e_contact_get(contact, E_CONTACT_ADDRESS_HOME));
    if (!address) { // an address without the home type, as simple address books write it
        for (GList* l = e_vcard_get_attributes(E_VCARD(contact)); l && !address; l = l->next) {
            auto* attr = static_cast<EVCardAttribute*>(l->data);
            if (g_ascii_strcasecmp(e_vcard_attribute_get_name(attr), kAddressAttribute) != 0)
                continue;
            address = e_contact_address_new();
            GList* v = e_vcard_attribute_get_values(attr);
            gchar** slots[] = {&address->po, &address->ext, &address->street, &address->locality,
                               &address->region, &address->code, &address->country};
            for (auto* slot : slots) {
                *slot = g_strdup(v ? static_cast<const char*>(v->data) : "");
                v = v ? v->next : nullptr;
            }
        }
    }
    if (!address)
        return;
    const std::pair<const char*, const char*> parts[] = {
        {"HomeAddressStreet", address->street}, {"HomeAddressCity", address->locality},
        {"HomeAddressState", address->region},  {"HomeAddressPostalCode", address->code},
        {"HomeAddressCountry", address->country}};
    for (const auto& [property, value] : parts)
        if (value && *value)
            item.set(property, validUtf8(value));
    e_contact_address_free(address);
}

OutlookItem itemFromContact(EContact* contact)
{
    OutlookItem item(kContactClass, {});
    for (const auto& f : kTextFields) {
        const auto* value = static_cast<const char*>(e_contact_get_const(contact, f.field));
        if (value && *value)
            item.set(f.property, validUtf8(value));
    }
    const auto* fileAs = static_cast<const char*>(e_contact_get_const(contact, E_CONTACT_FILE_AS));
    item.set("FileAs", fileAs && *fileAs ? validUtf8(fileAs) : item.text("FullName"));
    takePhones(contact, item);
    takeAddress(contact, item);
    if (auto* birthday = static_cast<EContactDate*>(e_contact_get(contact, E_CONTACT_BIRTH_DATE))) {
        if (birthday->month >= 1 && birthday->month <= 12 && birthday->day >= 1 && birthday->day <= 31)
            item.set("Birthday", toOleDate({static_cast<int>(birthday->year), static_cast<int>(birthday->month),
                                            static_cast<int>(birthday->day)}));
        e_contact_date_free(birthday);
    }
    if (const auto* rev = static_cast<const char*>(e_contact_get_const(contact, E_CONTACT_REV)))
        if (auto when = parseUtcStamp(rev))
            item.set("LastModificationTime", *when);
    if (EVCardAttribute* created = e_vcard_get_attribute(E_VCARD(contact), kCreatedAttribute)) {
        GText value(e_vcard_attribute_get_value(created));
        if (auto when = value ? parseUtcStamp(value.get()) : std::nullopt)
            item.set("CreationTime", *when);
    }
    return item;
}

bool startsCard(const std::string& line, const char* marker)
{
    return g_ascii_strncasecmp(line.c_str(), marker, std::strlen(marker)) == 0;
}
} // namespace

std::vector<OutlookItem> readVcardItems(const std::string& text)
{
    std::vector<OutlookItem> items;
    std::string card;
    bool inside = false;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(from, end - from);
        from = end + 1;
        std::string bare = line;
        while (!bare.empty() && (bare.back() == '\r' || bare.back() == ' '))
            bare.pop_back();
        if (startsCard(bare, "BEGIN:VCARD")) {
            inside = true;
            card.clear();
        }
        if (!inside)
            continue;
        card += bare + "\r\n";
        if (startsCard(bare, "END:VCARD")) {
            inside = false;
            ContactPtr contact(e_contact_new_from_vcard(card.c_str()));
            if (contact)
                items.push_back(itemFromContact(contact.get()));
        }
    }
    return items;
}

std::string writeVcardItem(const OutlookItem& item)
{
    ContactPtr contact(e_contact_new());
    for (const auto& f : kTextFields) {
        const std::string value = item.text(f.property);
        if (!value.empty())
            e_contact_set(contact.get(), f.field, value.c_str());
    }
    putPhones(contact.get(), item);
    const std::string fullName = item.text("FullName");
    EContactName* name = e_contact_name_from_string(fullName.c_str());
    e_contact_set(contact.get(), E_CONTACT_NAME, name);
    e_contact_name_free(name);
    e_contact_set(contact.get(), E_CONTACT_FULL_NAME, fullName.c_str());
    const std::string fileAs = item.text("FileAs");
    if (!fileAs.empty())
        e_contact_set(contact.get(), E_CONTACT_FILE_AS, fileAs.c_str());

    const std::string street = item.text("HomeAddressStreet"), city = item.text("HomeAddressCity"),
                      state = item.text("HomeAddressState"), code = item.text("HomeAddressPostalCode"),
                      country = item.text("HomeAddressCountry");
    if (!(street + city + state + code + country).empty()) {
        EContactAddress address{};
        std::string empty;
        address.po = empty.data();
        address.ext = empty.data();
        address.street = const_cast<gchar*>(street.c_str());
        address.locality = const_cast<gchar*>(city.c_str());
        address.region = const_cast<gchar*>(state.c_str());
        address.code = const_cast<gchar*>(code.c_str());
        address.country = const_cast<gchar*>(country.c_str());
        e_contact_set(contact.get(), E_CONTACT_ADDRESS_HOME, &address);
    }
    if (auto birthday = item.date("Birthday")) {
        const CivilTime t = fromOleDate(*birthday);
        EContactDate date{static_cast<guint>(t.year), static_cast<guint>(t.month), static_cast<guint>(t.day)};
        e_contact_set(contact.get(), E_CONTACT_BIRTH_DATE, &date);
    }
    if (auto modified = item.date("LastModificationTime"))
        e_contact_set(contact.get(), E_CONTACT_REV, utcStamp(*modified).c_str());
    if (auto created = item.date("CreationTime"))
        e_vcard_append_attribute_with_value(E_VCARD(contact.get()), e_vcard_attribute_new(nullptr, kCreatedAttribute),
                                            utcStamp(*created).c_str());
    GText text(e_vcard_to_string(E_VCARD(contact.get()), EVC_FORMAT_VCARD_30));
    return std::string(text.get()) + "\r\n";
}

} // namespace orka::platform
