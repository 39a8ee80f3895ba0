#pragma once
// The four PIM lists the document holds, each known by one bit, and the loaded flags of the
// transient flags word.
#include "orka/pim/PimItems.h"

#include <cstdint>
#include <vector>

namespace orka::pim {

namespace list {
inline constexpr unsigned kStoreContacts = 2;
inline constexpr unsigned kStoreTasks = 4;
inline constexpr unsigned kPhonebook = 8;
inline constexpr unsigned kCalendar = 16;
} // namespace list

// Bits of the transient flags word (cleared at every start).
namespace loaded {
inline constexpr std::uint32_t kPhonebook = 1u << 2;
inline constexpr std::uint32_t kCalendar = 1u << 3;
inline constexpr std::uint32_t kStore = 1u << 4; // contacts and tasks are always read together
} // namespace loaded

// Free entries and capacity of one handset store, as the last load saw them.
struct HandsetRoom {
    int freeEntries = 0;
    int capacity = -1; // -1: the handset did not say
};

class PimLists {
public:
    std::vector<CContactItem> storeContacts;
    std::vector<CCalendarItem> storeTasks;
    std::vector<CContactItem> phonebook;
    std::vector<CCalendarItem> calendar;
    HandsetRoom phonebookRoom;
    HandsetRoom calendarRoom;

    // Empties the lists named by the bits.
    void clear(unsigned lists);
    // Clears the tick marks of the lists named by the bits.
    void untick(unsigned lists);
    // Sets or clears every tick mark of one list.
    void tickAll(unsigned list, bool on);
    int tickedCount(unsigned list) const;
};

} // namespace orka::pim
