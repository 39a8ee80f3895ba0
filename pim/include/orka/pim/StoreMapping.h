#pragma once
// Field mapping between the entries and the contact and task items of the store.
#include "orka/pim/PimItems.h"
#include "orka/platform/OutlookApplication.h"

namespace orka::pim {

CContactItem contactFromItem(const platform::OutlookItem& item);
// Sets the item's properties from a contact (the item is new: only what the contact has).
void fillItem(platform::OutlookItem& item, const CContactItem& contact);

CCalendarItem calendarFromItem(const platform::OutlookItem& item);
void fillItem(platform::OutlookItem& item, const CCalendarItem& entry);

} // namespace orka::pim
