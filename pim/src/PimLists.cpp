#include "orka/pim/PimLists.h"

#include <algorithm>

namespace orka::pim {
namespace {
template <class Entry> void setTicks(std::vector<Entry>& entries, bool on)
{
    for (auto& e : entries)
        e.setTicked(on);
}
template <class Entry> int countTicked(const std::vector<Entry>& entries)
{
    return static_cast<int>(std::count_if(entries.begin(), entries.end(), [](const Entry& e) { return e.ticked(); }));
}
} // namespace

void PimLists::clear(unsigned lists)
{
    if (lists & list::kStoreContacts)
        storeContacts.clear();
    if (lists & list::kStoreTasks)
        storeTasks.clear();
    if (lists & list::kPhonebook)
        phonebook.clear();
    if (lists & list::kCalendar)
        calendar.clear();
}

void PimLists::untick(unsigned lists)
{
    for (unsigned bit : {list::kStoreContacts, list::kStoreTasks, list::kPhonebook, list::kCalendar})
        if (lists & bit)
            tickAll(bit, false);
}

void PimLists::tickAll(unsigned which, bool on)
{
    switch (which) {
    case list::kStoreContacts: setTicks(storeContacts, on); break;
    case list::kStoreTasks: setTicks(storeTasks, on); break;
    case list::kPhonebook: setTicks(phonebook, on); break;
    case list::kCalendar: setTicks(calendar, on); break;
    default: break;
    }
}

int PimLists::tickedCount(unsigned which) const
{
    switch (which) {
    case list::kStoreContacts: return countTicked(storeContacts);
    case list::kStoreTasks: return countTicked(storeTasks);
    case list::kPhonebook: return countTicked(phonebook);
    case list::kCalendar: return countTicked(calendar);
    default: return 0;
    }
}

} // namespace orka::pim
