#include "orka/pim/PimWorkers.h"

#include "orka/pim/AnsiText.h"
#include "orka/pim/PimError.h"
#include "orka/pim/StoreMapping.h"
#include "orka/pio.h"
#include "orka/platform/OutlookApplication.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <thread>

namespace orka::pim {
namespace {
using platform::OutlookApplication;
using platform::OutlookError;

constexpr int kReportEvery = 5;
constexpr std::uint32_t kDirectionShift = 3;
constexpr std::uint32_t kDirectionMask = 0x7u << kDirectionShift;
constexpr std::uint32_t kContactsChosen = 1u << 21;
constexpr std::uint32_t kCalendarChosen = 1u << 22;
constexpr const char* kContactFilter = "[MessageClass] = 'IPM.Contact'";
constexpr const char* kTaskFilter = "[MessageClass] = 'IPM.Task'";
constexpr const char* kContactSortKey = "FileAs";
constexpr const char* kTaskSortKey = "StartDate";

constexpr Diagnostic kPortFailed{area::kWorker, 1, 1};
constexpr Diagnostic kStoreOpenFailed{area::kStore, 1, 1};
constexpr Diagnostic kStoreQuery{area::kStore, 1, 2};
constexpr Diagnostic kStoreItem{area::kStore, 1, 3};
constexpr Diagnostic kStoreOther{area::kStore, 1, 4};
constexpr Diagnostic kStoreSave{area::kStore, 2, 1};
constexpr Diagnostic kNoMemory{area::kWorker, 1, 2};

struct Cancelled {};

// The link to the handset for the length of one job.
class LinkSession {
public:
    explicit LinkSession(int port)
    {
        if (!PIOOpen(port))
            throw PimError(msg::kPortOpenFailed, {PIOGetLastErrMsg()}, kPortFailed);
    }
    ~LinkSession() { PIOClose(); }
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;
};

class Job {
public:
    explicit Job(const PimJobContext& c) : c_(c) {}
    void report(unsigned stageBit, int value, int maximum) const
    {
        if (c_.progress)
            c_.progress({stageBit, value, maximum});
    }
    void checkCancel() const
    {
        if (c_.cancel && c_.cancel->load())
            throw Cancelled{};
    }
    // Every fifth entry, as (done, count).
    void entryDone(unsigned stageBit, int done, int count) const
    {
        if (done % kReportEvery == 0)
            report(stageBit, done, count);
    }
    ReadOptions readOptions() const { return {c_.cancel, c_.progress, c_.settle}; }
    OutlookApplication store() const
    {
        return c_.storeRoot.empty() ? OutlookApplication() : OutlookApplication(c_.storeRoot);
    }
    std::uint32_t& flags() const
    {
        static std::uint32_t unused = 0;
        return c_.loadedFlags ? *c_.loadedFlags : unused;
    }

private:
    const PimJobContext& c_;
};

// Runs a job body and turns how it ended into a result.
JobResult guarded(const std::function<void(JobResult&)>& body)
{
    JobResult result;
    try {
        body(result);
    } catch (const Cancelled&) {
        result.end = JobResult::End::Cancelled;
    } catch (const PimError& e) {
        result.end = JobResult::End::Failed;
        result.messageId = e.messageId();
        result.failureText = e.what();
    } catch (const std::bad_alloc&) {
        const PimError e(msg::kOutOfMemory, {}, kNoMemory);
        result.end = JobResult::End::Failed;
        result.messageId = e.messageId();
        result.failureText = e.what();
    }
    return result;
}

PimError storeError(const OutlookError& e)
{
    switch (e.kind()) {
    case OutlookError::Kind::Unavailable: return PimError(msg::kStoreUnavailable, {}, kStoreOpenFailed, e.what());
    case OutlookError::Kind::QueryFailed: return PimError(msg::kStoreQueryFailed, {}, kStoreQuery, e.what());
    case OutlookError::Kind::ItemFailed: break;
    }
    return PimError(msg::kStoreItemFailed, {}, kStoreItem, e.what());
}

// Reads one kind from the default folder and then each subfolder, each sorted by its key.
template <class Entry, class Make>
void readStoreKind(const Job& job, int folderId, const char* filter, const char* sortKey, unsigned stageBit,
                   std::vector<Entry>& out, Make make)
{
    try {
        const auto root = job.store().getDefaultFolder(folderId);
        std::vector<platform::OutlookFolder> folders{root};
        for (auto& sub : root.folders())
            folders.push_back(sub);
        for (const auto& folder : folders) {
            auto items = folder.items().restrict(filter);
            items.sort(sortKey);
            const int count = static_cast<int>(items.count());
            for (int i = 1; i <= count; ++i) {
                job.checkCancel();
                out.push_back(make(items.item(static_cast<std::size_t>(i))));
                job.entryDone(stageBit, i, count);
            }
        }
    } catch (const OutlookError& e) {
        throw storeError(e);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw PimError(msg::kStoreReadFailed, {}, kStoreOther, e.what());
    }
}

std::string displayName(const CContactItem& c) { return utf8FromAnsi(c.name); }
std::string displayName(const CCalendarItem& e) { return utf8FromAnsi(e.subject); }

// Upload: ticked store entries into the free handset entries, in list order.
template <class Entry>
void uploadKind(const Job& job, PimKind kind, unsigned stageBit, std::vector<Entry>& entries, JobResult& result)
{
    const auto freeKeys = HandsetPim::freeKeys(kind);
    std::size_t nextFree = 0;
    const int count = static_cast<int>(std::count_if(entries.begin(), entries.end(), [](auto& e) { return e.ticked(); }));
    int done = 0;
    for (const auto& source : entries) {
        if (!source.ticked())
            continue;
        if (nextFree >= freeKeys.size())
            break;
        job.checkCancel();
        Entry entry = source;
        entry.actionWord = action::kWriteToHandset;
        const std::uint16_t key = freeKeys[nextFree];
        entry.key = kind == PimKind::Contacts ? key : static_cast<std::uint16_t>(key - 1);
        WriteResult written;
        try {
            written = HandsetPim::write(entry);
        } catch (const PimError& e) {
            result.problems.push_back({displayName(source), EntryProblem::Reason::CannotEncode, e.what()});
        }
        if (written.outcome == WriteOutcome::Written) {
            ++nextFree; // a free entry is used only by a write that went through
            ++result.entriesSent;
        } else if (written.outcome == WriteOutcome::Refused) {
            result.problems.push_back({displayName(source), EntryProblem::Reason::Refused, {}});
        } else if (written.outcome == WriteOutcome::Failed) {
            result.problems.push_back({displayName(source), EntryProblem::Reason::WriteFailed, written.failureText});
        }
        job.entryDone(stageBit, ++done, count);
    }
}

// Download: ticked handset entries as new items of the store's default folder.
template <class Entry>
void downloadKind(const Job& job, int folderId, const char* itemClass, unsigned stageBit, std::vector<Entry>& entries,
                  JobResult& result)
{
    try {
        const auto folder = job.store().getDefaultFolder(folderId);
        const int count = static_cast<int>(std::count_if(entries.begin(), entries.end(), [](auto& e) { return e.ticked(); }));
        int done = 0;
        for (const auto& source : entries) {
            if (!source.ticked())
                continue;
            job.checkCancel();
            Entry entry = source;
            entry.actionWord |= action::kAddToStore;
            auto item = folder.add(itemClass);
            fillItem(item, entry);
            item.save();
            ++result.entriesSent;
            job.entryDone(stageBit, ++done, count);
        }
    } catch (const OutlookError& e) {
        if (e.kind() == OutlookError::Kind::ItemFailed)
            throw PimError(msg::kStoreItemFailed, {}, kStoreSave, e.what());
        throw storeError(e);
    }
}

void readStore(const Job& job, PimLists& lists)
{
    lists.clear(list::kStoreContacts | list::kStoreTasks);
    readStoreKind(job, OutlookApplication::kContactsFolder, kContactFilter, kContactSortKey, stage::kReadStoreContacts,
                  lists.storeContacts, contactFromItem);
    readStoreKind(job, OutlookApplication::kTasksFolder, kTaskFilter, kTaskSortKey, stage::kReadStoreTasks,
                  lists.storeTasks, calendarFromItem);
    job.flags() |= loaded::kStore;
}
} // namespace

JobResult readStoreLists(PimLists& lists, const PimJobContext& context)
{
    return guarded([&](JobResult&) { readStore(Job(context), lists); });
}

JobResult loadPimLists(PimKind kind, PimLists& lists, const PimJobContext& context)
{
    return guarded([&](JobResult&) {
        const Job job(context);
        const bool contacts = kind == PimKind::Contacts;
        const std::uint32_t handsetLoaded = contacts ? loaded::kPhonebook : loaded::kCalendar;
        job.report(stage::kOpenPort, 0, 100);
        const LinkSession link(context.port);
        std::uint32_t& flags = job.flags();
        if ((flags & handsetLoaded) && (flags & loaded::kStore))
            return;
        if (!(flags & loaded::kStore))
            readStore(job, lists);
        if (!(flags & handsetLoaded)) {
            const bool complete = contacts ? HandsetPim::readPhonebook(lists.phonebook, job.readOptions())
                                           : HandsetPim::readCalendar(lists.calendar, job.readOptions());
            if (!complete)
                throw Cancelled{};
            HandsetRoom& room = contacts ? lists.phonebookRoom : lists.calendarRoom;
            room.freeEntries = static_cast<int>(HandsetPim::freeKeys(kind).size());
            room.capacity = HandsetPim::capacity(kind);
            flags |= handsetLoaded;
        }
    });
}

void storeTransferChoice(std::uint32_t& optionWord, const TransferChoice& choice)
{
    optionWord &= ~(kDirectionMask | kContactsChosen | kCalendarChosen);
    optionWord |= static_cast<std::uint32_t>(choice.direction) << kDirectionShift;
    if (choice.contacts)
        optionWord |= kContactsChosen;
    if (choice.calendar)
        optionWord |= kCalendarChosen;
}

TransferChoice transferChoiceOf(std::uint32_t optionWord)
{
    TransferChoice c;
    c.direction = ((optionWord & kDirectionMask) >> kDirectionShift) == 1 ? Direction::Upload : Direction::Download;
    c.contacts = optionWord & kContactsChosen;
    c.calendar = optionWord & kCalendarChosen;
    return c;
}

std::optional<StartRefusal> checkTransferStart(const TransferChoice& choice, const PimLists& lists,
                                               std::uint32_t flags)
{
    const bool upload = choice.direction == Direction::Upload;
    if (choice.contacts) {
        const bool ready = upload ? (flags & loaded::kStore) && lists.tickedCount(list::kStoreContacts) > 0
                                  : (flags & loaded::kPhonebook) && lists.tickedCount(list::kPhonebook) > 0;
        if (!ready)
            return StartRefusal{upload ? msg::kLoadStoreContactsFirst : msg::kLoadPhonebookFirst, 0};
    }
    if (choice.calendar) {
        const bool ready = upload ? (flags & loaded::kStore) && lists.tickedCount(list::kStoreTasks) > 0
                                  : (flags & loaded::kCalendar) && lists.tickedCount(list::kCalendar) > 0;
        if (!ready)
            return StartRefusal{upload ? msg::kLoadStoreTasksFirst : msg::kLoadCalendarFirst, 1};
    }
    return std::nullopt;
}

std::optional<unsigned> checkSelection(PimKind kind, Direction direction, const PimLists& lists)
{
    if (direction != Direction::Upload)
        return std::nullopt;
    if (kind == PimKind::Contacts && lists.tickedCount(list::kStoreContacts) > lists.phonebookRoom.freeEntries)
        return msg::kTooManyContacts;
    if (kind == PimKind::Calendar && lists.tickedCount(list::kStoreTasks) > lists.calendarRoom.freeEntries)
        return msg::kTooManyTasks;
    return std::nullopt;
}

JobResult transferPimEntries(const TransferChoice& choice, PimLists& lists, const PimJobContext& context)
{
    return guarded([&](JobResult& result) {
        const Job job(context);
        job.report(stage::kOpenPort, 0, 100);
        const LinkSession link(context.port);
        if (choice.direction == Direction::Upload) {
            if (choice.contacts) {
                uploadKind(job, PimKind::Contacts, stage::kWritePhonebook, lists.storeContacts, result);
                lists.untick(list::kStoreContacts);
            }
            if (choice.calendar) {
                uploadKind(job, PimKind::Calendar, stage::kWriteCalendar, lists.storeTasks, result);
                lists.untick(list::kStoreTasks);
            }
        } else {
            if (choice.contacts) {
                downloadKind(job, OutlookApplication::kContactsFolder, platform::kContactClass,
                             stage::kWriteStoreContacts, lists.phonebook, result);
                lists.untick(list::kPhonebook);
            }
            if (choice.calendar) {
                downloadKind(job, OutlookApplication::kTasksFolder, platform::kTaskClass, stage::kWriteStoreTasks,
                             lists.calendar, result);
                lists.untick(list::kCalendar);
            }
        }
    });
}

std::string lastSyncText(const std::tm& t)
{
    const int year = t.tm_year + 1900;
    const int shortYear = year < 2000 ? year - 1900 : year - 2000;
    char text[40];
    std::snprintf(text, sizeof text, "%.2d/%.2d/%.2d %.2d:%.2d", t.tm_mon + 1, t.tm_mday, shortYear, t.tm_hour,
                  t.tm_min);
    return text;
}

JobResult startTransfer(const TransferChoice& choice, PimLists& lists, PimJobContext context,
                        std::uint32_t& optionWord, std::string& lastSync,
                        const std::function<void(const PimProgress&)>& show)
{
    storeTransferChoice(optionWord, choice);
    const std::uint32_t flags = context.loadedFlags ? *context.loadedFlags : 0;
    if (auto refusal = checkTransferStart(choice, lists, flags)) {
        JobResult refused;
        refused.end = JobResult::End::Failed;
        refused.messageId = refusal->messageId;
        refused.failureText = formatMessage(refusal->messageId);
        return refused;
    }
    JobResult result = runPimJob(
        [&](const ProgressSink& sink) {
            PimJobContext c = context;
            c.progress = sink;
            return transferPimEntries(choice, lists, c);
        },
        show);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    lastSync = lastSyncText(local);
    return result;
}

JobResult runPimJob(const std::function<JobResult(const ProgressSink&)>& work,
                    const std::function<void(const PimProgress&)>& show)
{
    ProgressHandoff handoff;
    JobResult result;
    std::thread worker([&] {
        result = work(handoff.sink());
        handoff.close();
    });
    while (auto report = handoff.take())
        if (show)
            show(*report);
    worker.join();
    return result;
}

} // namespace orka::pim
