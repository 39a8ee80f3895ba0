#include "orka/transfer/TransferJob.h"

#include "orka/StringTable.h"
#include "orka/app/MessageText.h"
#include "orka/PioResultHandle.h"

#include <chrono>
#include <cstdio>

namespace orka::transfer {
namespace {

constexpr int kDevice = 1;
constexpr int kKind = 3;
constexpr int kFreeIndexes = 1;
constexpr int kUsedIndexes = 2;
constexpr int kWholeItem = 0;
constexpr int kAnimationType = 5;
constexpr int kMenuType = 3;
constexpr int kMidletType = 8;
constexpr int kAnimationParts = 5;
constexpr int kMenuCreepPercent = 95;
constexpr auto kPauseStep = std::chrono::milliseconds(100);

constexpr unsigned kStrDownloadWord = 65068;
constexpr unsigned kStrUploadWord = 65069;
constexpr unsigned kStrPreviewWord = 65159;
constexpr unsigned kStrDeleteWord = 65160;
constexpr unsigned kStrDownloaded = 65082;
constexpr unsigned kStrUploaded = 65081;
constexpr unsigned kStrPreviewed = 65092;
constexpr unsigned kStrDeleted = 65161;

// Range units of the progress bar for one item or job.
constexpr int kFullRange = 300;
constexpr int kShortRange = 50;
constexpr long long kMelodyBytesPerRange = 4950;
constexpr long long kMenuBytesPerRange = 3100;

int rangeOfBytes(std::size_t bytes, long long perRange) { return int(static_cast<long long>(bytes) * kFullRange / perRange); }

std::size_t entryBytes(const TransferEntry& e)
{
    std::size_t sum = 0;
    for (const auto& p : e.parts)
        sum += p.size();
    return sum;
}

using EngineResult = orka::PioResultHandle;

// The link, closed when the job leaves in any way.
class OpenLink {
public:
    explicit OpenLink(int port) : open_(PIOOpen(port) != 0) {}
    ~OpenLink()
    {
        if (open_)
            PIOClose();
    }
    OpenLink(const OpenLink&) = delete;
    OpenLink& operator=(const OpenLink&) = delete;
    bool open() const { return open_; }

private:
    bool open_;
};

std::uint32_t stageOf(JobKind job)
{
    switch (job) {
    case JobKind::Download:
        return kStageDownload;
    case JobKind::Upload:
        return kStageUpload;
    case JobKind::Preview:
        return kStagePreview;
    case JobKind::Delete:
        return kStageDelete;
    }
    return 0;
}

std::string cut(std::string text)
{
    if (text.size() <= CLinkException::kMaxText)
        return text;
    std::size_t end = CLinkException::kMaxText;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end; // never split a UTF-8 character
    return text.substr(0, end);
}

} // namespace

CLinkException::CLinkException(unsigned messageId, std::uint32_t stage, std::uint32_t location,
                               const std::string& argument)
    : messageId_(messageId), stage_(stage), location_(location)
{
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "\n%lu:%lu:%lu:%lu", static_cast<unsigned long>(kComponentJobs),
                  static_cast<unsigned long>(stage), static_cast<unsigned long>(location), 0UL);
    const std::string message = app::formatText(loadString(messageId), {argument});
    text_ = cut(message.substr(0, CLinkException::kMaxText - std::string(numbers).size()) + numbers);
}

std::string successText(JobKind job)
{
    switch (job) {
    case JobKind::Download:
        return loadString(kStrDownloaded);
    case JobKind::Upload:
        return loadString(kStrUploaded);
    case JobKind::Preview:
        return loadString(kStrPreviewed);
    case JobKind::Delete:
        return loadString(kStrDeleted);
    }
    return {};
}

CTransferDlg::~CTransferDlg()
{
    if (worker_.joinable()) {
        cancel_ = 1;
        pause_ = 0;
        worker_.join();
    }
}

std::string CTransferDlg::titleText() const
{
    switch (job_) {
    case JobKind::Download:
        return loadString(kStrDownloadWord);
    case JobKind::Upload:
        return loadString(kStrUploadWord);
    case JobKind::Preview:
        return loadString(kStrPreviewWord);
    case JobKind::Delete:
        return loadString(kStrDeleteWord);
    }
    return {};
}

bool CTransferDlg::cancelEnabled() const
{
    return !(job_ == JobKind::Preview || (job_ == JobKind::Upload && items.size() <= 1) || type_ == kMidletType);
}

int CTransferDlg::computeRange() const
{
    switch (job_) {
    case JobKind::Upload:
        if (type_ == kMidletType)
            return items.size() > 1 ? rangeOfBytes(entryBytes(items[1]), kMelodyBytesPerRange) : 0;
        if (type_ == kMenuType) {
            std::size_t sum = 0;
            for (const auto& e : items)
                sum += entryBytes(e);
            return rangeOfBytes(sum, kMenuBytesPerRange);
        }
        if ((type_ == 7 || type_ == kAnimationType) && !items.empty())
            return rangeOfBytes(entryBytes(items[0]), kMelodyBytesPerRange);
        return kFullRange;
    case JobKind::Preview:
        if (type_ == 7)
            return items.empty() ? 0 : rangeOfBytes(entryBytes(items[0]), kMelodyBytesPerRange);
        return kFullRange;
    case JobKind::Download:
    case JobKind::Delete:
        return type_ == kAnimationType ? kFullRange : kShortRange;
    }
    return kShortRange;
}

bool CTransferDlg::pressCancel()
{
    if (type_ == kMenuType) {
        pause_ = 1;
        progress.stopTimer();
        return true;
    }
    cancel_ = 1;
    if (type_ != kMidletType)
        progress.stopTimer();
    return false;
}

void CTransferDlg::answerCancelQuestion(bool stop)
{
    if (stop)
        cancel_ = 1;
    else
        progress.startTimer();
    pause_ = 0;
}

void CTransferDlg::raise(unsigned messageId, std::uint32_t location, const std::string& argument)
{
    progress.stopTimer();
    throw CLinkException(messageId, stageOf(job_), location, argument);
}

JobOutcome CTransferDlg::run(int port)
{
    cancel_ = 0;
    progress.reset();
    progress.setRange(computeRange());
    progress.setCreepLimitPercent(type_ == kMenuType ? kMenuCreepPercent : 90);

    OpenLink link(port);
    if (!link.open())
        return {JobOutcome::Result::Failed,
                app::messageText({kStrOpenFailed, 0, {}, {kComponentJobs, kStageOpen, kLocationOpen}, {}})};
    try {
        const bool done = runJob();
        progress.stopTimer();
        if (!done)
            return {JobOutcome::Result::NothingDone, {}};
        return {JobOutcome::Result::Succeeded, successText(job_)};
    } catch (const CLinkException& e) {
        progress.stopTimer();
        return {JobOutcome::Result::Failed, app::messageText({0, 0, {}, {}, e.what()})};
    }
}

void CTransferDlg::start(int port, std::function<void()> finished)
{
    worker_ = std::thread([this, port, finished = std::move(finished)] {
        outcome_ = run(port);
        if (finished)
            finished();
    });
}

JobOutcome CTransferDlg::wait()
{
    if (worker_.joinable())
        worker_.join();
    return outcome_;
}

bool CTransferDlg::runJob()
{
    switch (job_) {
    case JobKind::Download:
        return download();
    case JobKind::Upload:
        return type_ == kMenuType || type_ == kMidletType ? uploadSet() : uploadItems();
    case JobKind::Preview:
        return preview();
    case JobKind::Delete:
        return remove();
    }
    return false;
}

bool CTransferDlg::download()
{
    std::vector<std::int32_t> indexes;
    {
        EngineResult used(PIOQXIndexRead(kDevice, type_, kUsedIndexes, kKind));
        if (!used.exists() || (!used.ok() && used.failureText().empty()))
            raise(kStrNoResponse, 70);
        if (!used.ok())
            raise(kStrEngineText, 60, used.failureText());
        const PIOIndexList* list = used.data<PIOIndexList>();
        if (!list)
            return false; // the handset answered only "OK": nothing there
        if (list->count == 0)
            raise(kStrNoData, 10);
        indexes.assign(list->numbers, list->numbers + list->count);
    }
    const int total = int(indexes.size());
    progress.setCount(0, total);
    progress.startTimer();
    int read = 0;
    for (int i = 0; i < total; ++i) {
        if (cancelled())
            return false;
        const int index = indexes[std::size_t(i)];
        TransferEntry entry;
        if (type_ == 2 || type_ == 4 || type_ == 7) {
            EngineResult r(PIOQXDataRead(kDevice, type_, index, kWholeItem, kKind));
            if (!r.ok() && r.failureText().empty())
                raise(kStrNoResponse, 30);
            if (!r.ok())
                raise(kStrEngineText, 20, r.failureText());
            const PIODataRecord* rec = r.data<PIODataRecord>();
            entry.parts.emplace_back(rec ? Bytes(rec->bytes, rec->bytes + rec->count) : Bytes{});
        } else if (type_ == kAnimationType) {
            for (int part = 1; part <= kAnimationParts; ++part) {
                if (cancelled())
                    return false; // the parts read so far go with the entry
                EngineResult r(PIOQXDataRead(kDevice, type_, index, part, kKind));
                if (!r.ok() && r.failureText().empty())
                    raise(kStrNoResponse, 40);
                if (!r.ok())
                    raise(kStrEngineText, 31, r.failureText());
                const PIODataRecord* rec = r.data<PIODataRecord>();
                entry.parts.emplace_back(rec ? Bytes(rec->bytes, rec->bytes + rec->count) : Bytes{});
            }
        } else {
            progress.setCount(i + 1, total);
            continue;
        }
        items.push_back(std::move(entry));
        handsetNumbers.push_back(unsigned(index));
        progress.fill();
        ++read;
        progress.setCount(i + 1, total);
    }
    return read > 0;
}

bool CTransferDlg::uploadSet()
{
    const int total = int(items.size());
    progress.setCount(0, type_ == kMidletType ? 1 : total);
    for (int i = 0; i < total; ++i) {
        // A pause lasts while the user is asked whether to stop; the answer is seen before
        // the next part goes out.
        while (type_ == kMenuType && pause_ && !cancelled())
            std::this_thread::sleep_for(kPauseStep);
        if (cancelled())
            return false;
        TransferEntry& entry = items[std::size_t(i)];
        Bytes& bytes = entry.parts.empty() ? entry.parts.emplace_back() : entry.parts[0];
        EngineResult r(PIOQXDataWrite(kDevice, type_, 1, i + 1, bytes.data(), bytes.size(), kKind));
        if (!r.ok() && !r.failureText().empty())
            raise(kStrEngineText, 10, r.failureText());
        if (!r.ok())
            raise(kStrNoResponse, 11);
        if (i == 0)
            progress.startTimer();
        if (type_ == kMenuType)
            progress.setCount(i + 1, total);
    }
    progress.fill();
    return total > 0;
}

bool CTransferDlg::uploadItems()
{
    const int total = int(items.size());
    progress.setCount(0, total);
    for (int i = 0; i < total; ++i) {
        if (cancelled())
            return false;
        TransferEntry& entry = items[std::size_t(i)];
        if (type_ == 7 || type_ == kAnimationType)
            progress.setRange(rangeOfBytes(entryBytes(entry), kMelodyBytesPerRange));
        EngineResult freeList(PIOQXIndexRead(kDevice, type_, kFreeIndexes, kKind));
        if (!freeList.ok() && freeList.failureText().empty())
            raise(kStrNoResponse, 70);
        if (!freeList.ok())
            raise(kStrEngineText, 60, freeList.failureText());
        // A full store answers the free list with "OK" alone, or with its line but no numbers:
        // either way there is no room, and the user is told so.
        const PIOIndexList* list = freeList.data<PIOIndexList>();
        if (!list || list->count == 0)
            raise(kStrNoStorage, 20);
        const int target = list->numbers[0];
        if (i == 0)
            progress.startTimer();
        if (type_ == kAnimationType) {
            for (std::size_t j = 0; j < entry.parts.size(); ++j) {
                if (cancelled())
                    return false;
                Bytes& frame = entry.parts[j];
                EngineResult r(PIOQXDataWrite(kDevice, type_, target, int(j + 1), frame.data(), frame.size(), kKind));
                if (!r.ok() && !r.failureText().empty())
                    raise(kStrEngineText, 31, r.failureText());
                if (!r.ok())
                    raise(kStrNoResponse, 40);
            }
        } else {
            Bytes& bytes = entry.parts.empty() ? entry.parts.emplace_back() : entry.parts[0];
            EngineResult r(PIOQXDataWrite(kDevice, type_, target, kWholeItem, bytes.data(), bytes.size(), kKind));
            if (!r.ok() && !r.failureText().empty())
                raise(kStrEngineText, 21, r.failureText());
            if (!r.ok())
                raise(kStrNoResponse, 30);
        }
        progress.fill();
        progress.setCount(i + 1, total);
    }
    return total > 0;
}

bool CTransferDlg::preview()
{
    if (items.empty())
        return false;
    TransferEntry& entry = items[0];
    if (type_ == 2 || type_ == 4 || type_ == 7) {
        {
            EngineResult check(PIOQXIndexRead(kDevice, type_, kFreeIndexes, kKind));
            if (!check.ok() && check.failureText().empty())
                raise(kStrNoResponse, 30);
            if (!check.ok())
                raise(kStrEngineText, 20, check.failureText());
        }
        progress.startTimer();
        Bytes& bytes = entry.parts.empty() ? entry.parts.emplace_back() : entry.parts[0];
        EngineResult r(PIOQXDataPreview(kDevice, type_, kWholeItem, bytes.data(), bytes.size(), kKind));
        if (!r.ok() && r.failureText().empty())
            raise(kStrNoResponse, 11);
        if (!r.ok())
            raise(kStrEngineText, 10, r.failureText());
        progress.fill();
        return true;
    }
    if (type_ != kAnimationType)
        return false;
    {
        EngineResult check(PIOQXIndexRead(kDevice, type_, kFreeIndexes, kKind));
        if (!check.ok() && check.failureText().empty())
            raise(kStrNoResponse, 60);
        if (!check.ok())
            raise(kStrEngineText, 50, check.failureText());
    }
    if (entry.parts.empty()) {
        progress.fill();
        return false;
    }
    for (std::size_t j = 0; j < entry.parts.size(); ++j) {
        if (cancelled())
            return false;
        Bytes& frame = entry.parts[j];
        EngineResult r(PIOQXDataPreview(kDevice, type_, int(j + 1), frame.data(), frame.size(), kKind));
        if (!r.ok() && !r.failureText().empty())
            raise(kStrEngineText, 31, r.failureText());
        if (!r.ok())
            raise(kStrNoResponse, 40);
    }
    progress.fill();
    return true;
}

bool CTransferDlg::remove()
{
    const int total = int(handsetNumbers.size());
    progress.setCount(0, total);
    {
        EngineResult check(PIOQXIndexRead(kDevice, type_, kFreeIndexes, kKind));
        if (!check.ok() && check.failureText().empty())
            raise(kStrNoResponse, 20);
        if (!check.ok())
            raise(kStrEngineText, 10, check.failureText());
    }
    progress.startTimer();
    int deleted = 0;
    for (int i = 0; i < total; ++i) {
        if (cancelled())
            break;
        progress.setPosition(0);
        EngineResult r(PIOQXDataDelete(kDevice, type_, int(handsetNumbers[std::size_t(i)]), kWholeItem, kKind));
        if (!r.ok() && !r.failureText().empty())
            raise(kStrEngineText, 29, r.failureText());
        if (!r.ok())
            raise(kStrNoResponse, 30);
        progress.fill();
        ++deleted;
        progress.setCount(i + 1, total);
    }
    return deleted > 0;
}

} // namespace orka::transfer
