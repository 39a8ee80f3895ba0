#pragma once
// Times between the store's files (UTC or floating local times) and the items' local OLE dates.
#include "orka/platform/OutlookApplication.h"

#include <ctime>

namespace orka::platform {

OleDate localOleDate(std::time_t utc);
std::time_t utcFromLocalOleDate(OleDate date);
// A civil time read as UTC.
std::time_t utcFromCivil(const CivilTime& t);

} // namespace orka::platform
