#pragma once
// The phonebook (store 10) and calendar (store 11) of the handset through the phone link
// library's gallery calls. Every call expects the link to be open (PIOOpen) and gives each
// result back to the library. Failures are PimError.
#include "orka/pim/PimItems.h"
#include "orka/pim/PimProgress.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace orka::pim {

enum class PimKind { Contacts, Calendar };

inline constexpr int kPhonebookStore = 10;
inline constexpr int kCalendarStore = 11;
inline int storeType(PimKind kind) { return kind == PimKind::Contacts ? kPhonebookStore : kCalendarStore; }

enum class WriteOutcome {
    Written,
    Deleted,
    Untouched, // the action word asked for nothing
    Refused,   // the entry cannot be coded for the handset (a calendar entry without a valid date)
    Failed,    // the handset did not take it; failureText says why
};
struct WriteResult {
    WriteOutcome outcome = WriteOutcome::Untouched;
    std::string failureText;
};

struct ReadOptions {
    const std::atomic<bool>* cancel = nullptr; // checked before each entry
    ProgressSink progress;
    std::chrono::milliseconds settle{100}; // pause after the last report, so 100 % is seen
};

class HandsetPim {
public:
    // Keys of the free entries (20015 / 20021 when they cannot be read).
    static std::vector<std::uint16_t> freeKeys(PimKind kind);
    // The number of entries the handset holds of a kind; -1 when it does not say.
    static int capacity(PimKind kind);

    // Reads every used entry in key order; false when cancelled (out then holds those read).
    static bool readPhonebook(std::vector<CContactItem>& out, const ReadOptions& options);
    static bool readCalendar(std::vector<CCalendarItem>& out, const ReadOptions& options);

    // Writes or deletes one entry as its action word says. A contact that cannot be coded
    // throws PimError (20019, 20026, 20027).
    static WriteResult write(CContactItem& contact);
    static WriteResult write(const CCalendarItem& entry);
};

} // namespace orka::pim
