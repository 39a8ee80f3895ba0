// Store files from outside: vCard and iCalendar text in any shape. Readers never crash, give
// only valid UTF-8 for contacts, and every item they give can be written and read again as
// one item; the mapping to entries takes whatever they give.
#include "orka/pim/StoreMapping.h"
#include "orka/platform/Codepage.h"
#include "orka/platform/OutlookApplication.h"

#include <cstdint>
#include <string>

using namespace orka::platform;

// libebook-contacts leaks a parse buffer on some malformed cards (inside its lazy parse);
// the leak is theirs, not ours, so the leak checker leaves that library alone. GLib has no
// frame pointers: only the slow unwinder sees that library in the stack.
extern "C" const char* __lsan_default_suppressions() { return "leak:libebook-contacts-1.2.so\n"; }
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

namespace {
void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

const char* const kContactTexts[] = {"FullName", "FileAs", "MobileTelephoneNumber", "HomeAddressStreet", "Body",
                                     "EntryID"};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 16384)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const auto& item : readVcardItems(text)) {
        for (const char* property : kContactTexts)
            check(Codepage::utf8ToUtf16(item.text(property)).has_value());
        orka::pim::contactFromItem(item);
        check(readVcardItems(writeVcardItem(item)).size() == 1);
    }
    for (const auto& item : readVtodoItems(text)) {
        orka::pim::calendarFromItem(item);
        check(readVtodoItems(writeVtodoItem(item)).size() == 1);
    }
    return 0;
}
