// The commands that talk to the handset: each fills a transfer job and runs it in the
// transfer dialog, which shows its progress and its outcome.
#include "orka/app/ui/ItemCommands.h"

#include "orka/app/COrkaDoc.h"
#include "orka/app/LocalFileOps.h"
#include "orka/app/OrkaApp.h"
#include "orka/transfer/TransferItems.h"
#include "orka/transfer/ui/TransferDialog.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <algorithm>
#include <filesystem>
#include <string>

namespace orka::app::ui {
namespace fs = std::filesystem;
using transfer::CTransferDlg;
using transfer::JobKind;
using transfer::JobOutcome;
using transfer::TransferEntry;

namespace {

constexpr unsigned kStrDeleteOnHandsetToo = 65162; // "要同步刪除手機資料?"
constexpr char kMidletFilter[] = "Java(*.jad)|*.jad|";
constexpr int kMidletStoreType = 8;

TransferEntry onePart(std::vector<std::uint8_t> bytes)
{
    TransferEntry entry;
    entry.parts.push_back(std::move(bytes));
    return entry;
}

// The entries an upload of the item sends: a saved main-menu set goes whole, each of its
// pictures one entry (one part of the set).
std::vector<TransferEntry> uploadEntries(const FolderNode& folder, const GalleryItem& item, int type)
{
    if (folder.kind != FolderKind::SavedMenus)
        return {transfer::uploadEntry(item, type)};
    std::vector<TransferEntry> entries;
    for (const auto& frame : std::get<AnimationContent>(item.content).frames) {
        GalleryItem part = item;
        part.content = PictureContent{frame.bitmap};
        entries.push_back(transfer::uploadEntry(part, type));
    }
    return entries;
}

} // namespace

bool ItemCommands::runJob(CTransferDlg& job)
{
    return transfer::ui::TransferDialog::run(window_, job, app_.preferences().port()).result ==
           JobOutcome::Result::Succeeded;
}

bool ItemCommands::importMidlet()
{
    const QStringList chosen = orka::ui::chooseOpenFiles(window_, {}, QString::fromLatin1(kMidletFilter), false);
    if (chosen.isEmpty())
        return false;
    Midlet midlet;
    if (!attempt([&] { midlet = readMidlet(fs::path(orka::ui::toUtf8(chosen.front()))); }))
        return false;
    // The descriptor first, the archive second: the two parts of the handset's one MIDlet.
    CTransferDlg job(kMidletStoreType, JobKind::Upload);
    job.items.push_back(onePart(std::move(midlet.descriptor)));
    job.items.push_back(onePart(std::move(midlet.archive)));
    return runJob(job);
}

bool ItemCommands::uploadPackage(const QString& file)
{
    MenuPackage package;
    if (!attempt([&] { package = readPackageForUpload(fs::path(orka::ui::toUtf8(file))); }))
        return false;
    CTransferDlg job(storeTypeOf(kMainMenuCategory), JobKind::Upload);
    for (auto& picture : package.pictures)
        job.items.push_back(onePart(std::move(picture)));
    return runJob(job);
}

bool ItemCommands::download(int folderId)
{
    const int handsetFolderId = categoryOf(folderId) + kHandsetSlot;
    FolderNode* folder = doc_.findFolder(handsetFolderId);
    if (!folder || folder->kind != FolderKind::Handset)
        return false;
    const int type = storeTypeOf(handsetFolderId);
    CTransferDlg job(type, JobKind::Download);
    const bool whole = runJob(job);

    // Whatever came before a cancel or a failure is kept; an item already listed under the
    // same handset number is replaced, and after a whole download items the handset no
    // longer has go.
    std::vector<GalleryItem> downloaded;
    for (std::size_t i = 0; i < job.items.size() && i < job.handsetNumbers.size(); ++i) {
        const unsigned number = job.handsetNumbers[i];
        attempt([&] { downloaded.push_back(transfer::itemFromDownload(job.items[i], type, number, std::to_string(number))); });
    }
    if (downloaded.empty() && !whole)
        return false;
    auto& items = folder->items;
    std::erase_if(items, [&](const GalleryItem& old) {
        if (old.handsetNumber < 0)
            return false;
        const bool replaced = std::any_of(downloaded.begin(), downloaded.end(),
                                          [&](const GalleryItem& d) { return d.handsetNumber == old.handsetNumber; });
        return replaced || whole;
    });
    for (auto& item : downloaded)
        items.push_back(std::move(item));
    Q_EMIT folderChanged(handsetFolderId);
    return true;
}

bool ItemCommands::upload(int folderId, const std::vector<std::size_t>& indexes)
{
    const FolderNode* folder = folderFor(folderId, false);
    if (!folder || indexes.empty())
        return false;
    const int type = storeTypeOf(folderId);
    CTransferDlg job(type, JobKind::Upload);
    const bool ready = attempt([&] {
        for (const std::size_t index : indexes) {
            auto entries = uploadEntries(*folder, folder->items.at(index), type);
            job.items.insert(job.items.end(), std::make_move_iterator(entries.begin()),
                             std::make_move_iterator(entries.end()));
        }
    });
    return ready && runJob(job);
}

bool ItemCommands::previewOnHandset(int folderId, std::size_t index)
{
    const FolderNode* folder = folderFor(folderId, false);
    if (!folder || index >= folder->items.size())
        return false;
    const int type = storeTypeOf(folderId);
    CTransferDlg job(type, JobKind::Preview);
    return attempt([&] { job.items = uploadEntries(*folder, folder->items[index], type); }) && runJob(job);
}

bool ItemCommands::deleteOnHandset(const FolderNode& folder, const std::vector<std::size_t>& indexes)
{
    CTransferDlg job(storeTypeOf(folder.id), JobKind::Delete);
    for (const std::size_t index : indexes)
        if (folder.items[index].handsetNumber >= 0)
            job.handsetNumbers.push_back(unsigned(folder.items[index].handsetNumber));
    if (job.handsetNumbers.empty())
        return true;
    // "No" keeps the handset's copies: only the list here loses them.
    if (app_.preferences().option(PreferencesBlock::kWarnDeleteHandsetData) &&
        !orka::ui::askYesNo(window_, kStrDeleteOnHandsetToo))
        return true;
    return runJob(job);
}

bool ItemCommands::uploadItem(int folderId, const GalleryItem& item)
{
    const FolderNode* folder = folderFor(folderId, false);
    if (!folder)
        return false;
    const int type = storeTypeOf(folderId);
    CTransferDlg job(type, JobKind::Upload);
    return attempt([&] { job.items = uploadEntries(*folder, item, type); }) && runJob(job);
}

bool ItemCommands::exportItem(int folderId, const GalleryItem& item)
{
    const FolderNode* folder = folderFor(folderId, false);
    if (!folder)
        return false;
    // The item alone in a folder like its own, so that it is named and typed as its folder's
    // items are.
    FolderNode alone;
    alone.id = folder->id;
    alone.kind = folder->kind;
    alone.items.push_back(item);
    return exportFrom(alone, {0});
}

} // namespace orka::app::ui
