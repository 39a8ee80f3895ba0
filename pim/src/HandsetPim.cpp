#include "orka/pim/HandsetPim.h"

#include "orka/pim/HandsetCodec.h"
#include "orka/pim/PimError.h"
#include "orka/PioResultHandle.h"

#include <new>
#include <thread>

namespace orka::pim {
namespace {

constexpr int kDevice = 1;
constexpr int kKind = 3;
constexpr int kPart = 0;
constexpr int kFreeList = 1;
constexpr int kUsedList = 2;
constexpr int kCapacityField = 1; // the second number of a feature read
constexpr int kStartPercent = 5;
constexpr int kReportEvery = 5;

constexpr Diagnostic kUsedIndexFailed{area::kHandset, 1, 1};
constexpr Diagnostic kRecordFailed{area::kHandset, 1, 2};
constexpr Diagnostic kEntryNotMade{area::kHandset, 1, 3};
constexpr Diagnostic kFreeIndexFailed{area::kHandset, 2, 1};

using Result = orka::PioResultHandle;

// The handset's error text, or the text for an unknown cause when it gave none.
std::string failureText(const Result& r) { return r.failureText(formatMessage(msg::kUnknownError)); }

[[noreturn]] void readFailed(const Result& r, Diagnostic where)
{
    throw PimError(msg::kHandsetReadFailed, {failureText(r)}, where);
}

template <class Entry, class Decode>
bool readAll(int type, unsigned stageBit, std::vector<Entry>& out, const ReadOptions& o, Decode decode)
{
    auto report = [&](int value, int maximum) {
        if (o.progress)
            o.progress({stageBit, value, maximum});
    };
    report(kStartPercent, 100);
    Result used(PIOQXIndexRead(kDevice, type, kUsedList, kKind));
    if (!used.ok())
        readFailed(used, kUsedIndexFailed);
    const auto* list = used.data<PIOIndexList>();
    const int count = list ? list->count : 0;
    out.clear();
    try {
        out.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            if (o.cancel && o.cancel->load())
                return false;
            const int key = list->numbers[i];
            Result record(PIOQXDataRead(kDevice, type, key, kPart, kKind));
            if (!record.ok())
                readFailed(record, kRecordFailed);
            const auto* data = record.data<PIODataRecord>();
            static const std::uint8_t kNothing = 0;
            out.push_back(decode(data ? data->bytes : &kNothing, data ? static_cast<std::size_t>(data->count) : 0u, key));
            if ((i + 1) % kReportEvery == 0)
                report(i + 1, count);
        }
    } catch (const std::bad_alloc&) {
        throw PimError(msg::kOutOfMemory, {}, kEntryNotMade);
    }
    report(100, 100);
    std::this_thread::sleep_for(o.settle);
    return true;
}

WriteResult sendRecord(int type, int key, std::vector<std::uint8_t>& bytes)
{
    Result r(PIOQXDataWrite(kDevice, type, key, kPart, bytes.data(), bytes.size(), kKind));
    if (r.ok())
        return {WriteOutcome::Written, {}};
    return {WriteOutcome::Failed, failureText(r)};
}

WriteResult deleteRecord(int type, int key)
{
    Result r(PIOQXDataDelete(kDevice, type, key, kPart, kKind));
    if (r.ok())
        return {WriteOutcome::Deleted, {}};
    return {WriteOutcome::Failed, failureText(r)};
}
} // namespace

std::vector<std::uint16_t> HandsetPim::freeKeys(PimKind kind)
{
    Result r(PIOQXIndexRead(kDevice, storeType(kind), kFreeList, kKind));
    if (!r.ok())
        throw PimError(kind == PimKind::Contacts ? msg::kNoFreePhonebook : msg::kNoFreeCalendar, {}, kFreeIndexFailed,
                       failureText(r));
    std::vector<std::uint16_t> keys;
    if (const auto* list = r.data<PIOIndexList>())
        for (int i = 0; i < list->count; ++i)
            keys.push_back(static_cast<std::uint16_t>(list->numbers[i]));
    return keys;
}

int HandsetPim::capacity(PimKind kind)
{
    Result r(PIOQXFeatureRead(kDevice, storeType(kind), kKind));
    const auto* features = r.data<PIOFeatureRecord>();
    return features ? features->values[kCapacityField] : -1;
}

bool HandsetPim::readPhonebook(std::vector<CContactItem>& out, const ReadOptions& options)
{
    return readAll(kPhonebookStore, stage::kReadPhonebook, out, options,
                   [](const std::uint8_t* bytes, std::size_t size, int key) {
                       CContactItem c = decodeContact(bytes, size);
                       c.key = static_cast<std::uint16_t>(key); // the key the handset listed is the truth
                       return c;
                   });
}

bool HandsetPim::readCalendar(std::vector<CCalendarItem>& out, const ReadOptions& options)
{
    // The record keeps the location in one byte; the key the handset listed is the truth.
    return readAll(kCalendarStore, stage::kReadCalendar, out, options, [](const std::uint8_t* bytes, std::size_t size, int key) {
        return decodeCalendar(bytes, size, static_cast<std::uint16_t>(key - 1));
    });
}

WriteResult HandsetPim::write(CContactItem& contact)
{
    if (wantsHandsetWrite(contact.actionWord)) {
        auto record = encodeContact(contact);
        return sendRecord(kPhonebookStore, contact.key, record);
    }
    if (wantsHandsetDelete(contact.actionWord))
        return deleteRecord(kPhonebookStore, contact.key);
    return {};
}

WriteResult HandsetPim::write(const CCalendarItem& entry)
{
    const int key = entry.key + 1;
    if (wantsHandsetWrite(entry.actionWord)) {
        auto record = encodeCalendar(entry);
        if (!record)
            return {WriteOutcome::Refused, {}};
        return sendRecord(kCalendarStore, key, *record);
    }
    if (wantsHandsetDelete(entry.actionWord))
        return deleteRecord(kCalendarStore, key);
    return {};
}

} // namespace orka::pim
