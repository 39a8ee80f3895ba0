// Task items as iCalendar files of one VTODO each (with its VALARM), through libical.
#include "OutlookTime.h"
#include "orka/platform/OutlookApplication.h"

#include <libical/ical.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace orka::platform {
namespace {

struct ComponentFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentFree>;

constexpr const char* kProductId = "-//Orka//PIM transfer//EN";
constexpr const char* kImportanceProperty = "X-ORKA-IMPORTANCE";
// Importance (0 low, 1 normal, 2 high) and the iCalendar priorities for it.
constexpr long kImportanceLow = 0, kImportanceNormal = 1, kImportanceHigh = 2;
constexpr int kPriorityHigh = 1, kPriorityNormal = 5, kPriorityLow = 9;

std::optional<OleDate> localDate(icaltimetype t)
{
    if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t))
        return std::nullopt;
    if (icaltime_is_utc(t) || t.zone)
        return localOleDate(icaltime_as_timet_with_zone(t, t.zone ? t.zone : icaltimezone_get_utc_timezone()));
    // A floating time (or a date) is the local time as it stands.
    return toOleDate({t.year, t.month, t.day, t.is_date ? 0 : t.hour, t.is_date ? 0 : t.minute,
                      t.is_date ? 0 : t.second});
}

icaltimetype floatingTime(OleDate local)
{
    const CivilTime c = fromOleDate(local);
    icaltimetype t = icaltime_null_time();
    t.year = c.year;
    t.month = c.month;
    t.day = c.day;
    t.hour = c.hour;
    t.minute = c.minute;
    t.second = c.second;
    return t;
}

icaltimetype utcTime(OleDate local)
{
    return icaltime_from_timet_with_zone(utcFromLocalOleDate(local), 0, icaltimezone_get_utc_timezone());
}

long importanceFromPriority(int priority)
{
    if (priority >= 1 && priority <= 4)
        return kImportanceHigh;
    if (priority >= 6 && priority <= 9)
        return kImportanceLow;
    return kImportanceNormal;
}

// The reminder's time: an absolute trigger, or one relative to the start (or to the due
// time for RELATED=END).
std::optional<OleDate> reminderTime(icalcomponent* todo, icalcomponent* alarm)
{
    icalproperty* trigger = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
    if (!trigger)
        return std::nullopt;
    const icaltriggertype tr = icalproperty_get_trigger(trigger);
    if (!icaltime_is_null_time(tr.time))
        return localDate(tr.time);
    icalparameter* related = icalproperty_get_first_parameter(trigger, ICAL_RELATED_PARAMETER);
    const bool fromEnd = related && icalparameter_get_related(related) == ICAL_RELATED_END;
    const auto base = localDate(fromEnd ? icalcomponent_get_due(todo) : icalcomponent_get_dtstart(todo));
    if (!base)
        return std::nullopt;
    return *base + icaldurationtype_as_int(tr.duration) / 86400.0;
}

OutlookItem itemFromTodo(icalcomponent* todo)
{
    OutlookItem item(kTaskClass, {});
    auto setText = [&](const char* property, const char* value) {
        if (value && *value)
            item.set(property, std::string(value));
    };
    setText("EntryID", icalcomponent_get_uid(todo));
    setText("Subject", icalcomponent_get_summary(todo));
    setText("Body", icalcomponent_get_description(todo));
    long importance = kImportanceNormal;
    if (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_PRIORITY_PROPERTY))
        importance = importanceFromPriority(icalproperty_get_priority(p));
    for (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(todo, ICAL_X_PROPERTY))
        if (const char* name = icalproperty_get_x_name(p); name && std::strcmp(name, kImportanceProperty) == 0)
            if (const char* v = icalproperty_get_x(p))
                importance = std::strtol(v, nullptr, 10);
    item.set("Importance", importance);
    if (auto start = localDate(icalcomponent_get_dtstart(todo)))
        item.set("StartDate", *start);
    if (icalcomponent* alarm = icalcomponent_get_first_component(todo, ICAL_VALARM_COMPONENT))
        if (auto when = reminderTime(todo, alarm)) {
            item.set("ReminderTime", *when);
            item.set("ReminderSet", true);
        }
    if (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_CREATED_PROPERTY))
        if (auto when = localDate(icalproperty_get_created(p)))
            item.set("CreationTime", *when);
    icalproperty* modified = icalcomponent_get_first_property(todo, ICAL_LASTMODIFIED_PROPERTY);
    if (auto when = modified ? localDate(icalproperty_get_lastmodified(modified)) : localDate(icalcomponent_get_dtstamp(todo)))
        item.set("LastModificationTime", *when);
    return item;
}
} // namespace

std::vector<OutlookItem> readVtodoItems(const std::string& text)
{
    std::vector<OutlookItem> items;
    ComponentPtr root(icalparser_parse_string(text.c_str()));
    icalerror_clear_errno();
    // A file of several calendars parses into a root holding each of them.
    std::vector<icalcomponent*> pending{root.get()};
    while (!pending.empty()) {
        icalcomponent* c = pending.back();
        pending.pop_back();
        if (!c)
            continue;
        const icalcomponent_kind kind = icalcomponent_isa(c);
        if (kind == ICAL_VTODO_COMPONENT) {
            items.push_back(itemFromTodo(c));
        } else if (kind == ICAL_XROOT_COMPONENT || kind == ICAL_VCALENDAR_COMPONENT) {
            std::vector<icalcomponent*> children;
            for (icalcomponent* k = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); k;
                 k = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
                children.push_back(k);
            pending.insert(pending.end(), children.rbegin(), children.rend());
        }
    }
    return items;
}

std::string writeVtodoItem(const OutlookItem& item)
{
    ComponentPtr calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid(kProductId));
    icalcomponent* todo = icalcomponent_new(ICAL_VTODO_COMPONENT);
    icalcomponent_add_component(calendar.get(), todo);

    icalcomponent_set_uid(todo, item.text("EntryID").c_str());
    icalcomponent_set_dtstamp(todo, utcTime(oleDateNow()));
    if (auto created = item.date("CreationTime"))
        icalcomponent_add_property(todo, icalproperty_new_created(utcTime(*created)));
    if (auto modified = item.date("LastModificationTime"))
        icalcomponent_add_property(todo, icalproperty_new_lastmodified(utcTime(*modified)));
    icalcomponent_set_summary(todo, item.text("Subject").c_str());
    if (const std::string body = item.text("Body"); !body.empty())
        icalcomponent_set_description(todo, body.c_str());
    const long importance = item.number("Importance");
    if (importance == kImportanceHigh || importance == kImportanceLow || importance == kImportanceNormal) {
        const int priority = importance == kImportanceHigh ? kPriorityHigh
                             : importance == kImportanceLow ? kPriorityLow : kPriorityNormal;
        icalcomponent_add_property(todo, icalproperty_new_priority(priority));
    } else { // a value the three levels do not hold is kept as it is
        icalproperty* x = icalproperty_new_x(std::to_string(importance).c_str());
        icalproperty_set_x_name(x, kImportanceProperty);
        icalcomponent_add_property(todo, x);
    }
    if (auto start = item.date("StartDate"))
        icalcomponent_set_dtstart(todo, floatingTime(*start));
    if (auto reminder = item.date("ReminderTime"); reminder && item.flag("ReminderSet")) {
        icalcomponent* alarm = icalcomponent_new(ICAL_VALARM_COMPONENT);
        icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
        icalcomponent_add_property(alarm, icalproperty_new_description(item.text("Subject").c_str()));
        icaltriggertype trigger = icaltriggertype_from_int(0);
        trigger.time = utcTime(*reminder);
        icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
        icalcomponent_add_component(todo, alarm);
    }
    char* text = icalcomponent_as_ical_string(calendar.get());
    return text ? std::string(text) : std::string();
}

} // namespace orka::platform
