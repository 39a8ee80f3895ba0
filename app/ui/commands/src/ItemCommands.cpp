#include "orka/app/ui/ItemCommands.h"

#include "ExportDialog.h"
#include "orka/app/COrkaDoc.h"
#include "orka/app/LocalFileOps.h"
#include "orka/app/OrkaApp.h"
#include "orka/app/ui/ItemEditingPages.h"
#include "orka/app/ui/ItemEditorDialog.h"
#include "orka/app/ui/WizardWork.h"
#include "orka/platform/Mailer.h"
#include "orka/platform/StatePaths.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QDir>
#include <QEventLoop>
#include <QMetaObject>
#include <QWidget>

#include <algorithm>
#include <filesystem>
#include <thread>

namespace orka::app::ui {
namespace fs = std::filesystem;
using orka::ui::fromUtf8;
using orka::ui::toUtf8;

namespace {

constexpr unsigned kStrConfirmDeleteItem = 4015;    // "要將"%s"刪除?"
constexpr unsigned kStrConfirmDeleteCaption = 4016; // "確認刪除"
constexpr unsigned kStrConfirmDeleteFolder = 4017;  // "要移除資料夾及全部內容刪除?"
constexpr unsigned kStrConfirmFolderCaption = 4018; // "確認刪除資料夾"

// The kind of the items a folder holds: the handset folder holds its category's kind.
FolderKind itemKindOf(const COrkaDoc& doc, const FolderNode& folder)
{
    if (folder.kind != FolderKind::Handset)
        return folder.kind;
    return doc.findCategory(categoryOf(folder.id))->kind;
}

// What an item is written as when it goes by e-mail: pictures as JPEG, the smallest of the
// three, everything else in its only form.
ExportType mailTypeOf(FolderKind kind)
{
    return kind == FolderKind::Picture ? ExportType::Jpeg : exportTypesOf(kind).front();
}

fs::path pathOf(const QString& path) { return fs::path(toUtf8(path)); }

} // namespace

ItemCommands::ItemCommands(COrkaApp& app, COrkaDoc& doc, QWidget* window)
    : QObject(window), app_(app), doc_(doc), window_(window), exportFolder_(QDir::homePath())
{
}

ItemCommands::~ItemCommands() = default;

bool ItemCommands::attempt(const std::function<void()>& work) const
{
    try {
        work();
        return true;
    } catch (const std::exception& e) {
        orka::ui::showFailure(window_, e);
    }
    return false;
}

FolderNode* ItemCommands::folderFor(int folderId, bool changing) const
{
    FolderNode* folder = doc_.findFolder(folderId);
    if (!folder || !attempt([&] { doc_.loadFolderItems(*folder); }))
        return nullptr;
    if (changing && folder->readOnly) {
        orka::ui::showMessage(window_, kStrReadOnlyFolder);
        return nullptr;
    }
    return folder;
}

bool ItemCommands::renameItem(int folderId, std::size_t index, const QString& newName)
{
    if (!attempt([&] { app::renameItem(doc_, folderId, index, toUtf8(newName)); }))
        return false;
    Q_EMIT folderChanged(folderId);
    return true;
}

bool ItemCommands::renameFolder(int folderId, const QString& newName)
{
    if (!canRenameFolder(folderId) || !attempt([&] { app::renameFolder(doc_, folderId, toUtf8(newName)); }))
        return false;
    Q_EMIT treeChanged();
    return true;
}

std::optional<int> ItemCommands::newFolder(int categoryId)
{
    std::optional<int> id;
    if (!doc_.findCategory(categoryOf(categoryId)))
        return std::nullopt; // the root has no folders of its own
    if (!attempt([&] { id = addNewFolder(doc_, categoryOf(categoryId)).id; }))
        return std::nullopt;
    Q_EMIT treeChanged();
    return id;
}

bool ItemCommands::canDeleteFolder(int folderId) const
{
    return isUserFolder(folderId) && doc_.findFolder(folderId) != nullptr;
}

bool ItemCommands::deleteFolder(int folderId)
{
    const FolderNode* folder = canDeleteFolder(folderId) ? doc_.findFolder(folderId) : nullptr;
    if (!folder)
        return false;
    if (folder->readOnly) {
        orka::ui::showMessage(window_, kStrReadOnlyFolder);
        return false;
    }
    if (app_.preferences().option(PreferencesBlock::kWarnDeleteFolder) &&
        !orka::ui::askYesNo(window_, kStrConfirmDeleteFolder, {}, kStrConfirmFolderCaption))
        return false;
    if (!attempt([&] { app::deleteFolder(doc_, folderId); }))
        return false;
    Q_EMIT treeChanged();
    return true;
}

bool ItemCommands::deleteItems(int folderId, std::vector<std::size_t> indexes)
{
    FolderNode* folder = folderFor(folderId, true);
    if (!folder)
        return false;
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    std::erase_if(indexes, [folder](std::size_t i) { return i >= folder->items.size(); });

    std::vector<std::size_t> confirmed;
    if (app_.preferences().option(PreferencesBlock::kWarnDeleteData)) {
        for (std::size_t n = 0; n < indexes.size(); ++n) {
            const QString text =
                orka::ui::uiFormat(kStrConfirmDeleteItem, {fromUtf8(folder->items[indexes[n]].name)});
            const auto answer = orka::ui::askYesAllNoCancel(window_, text, orka::ui::uiText(kStrConfirmDeleteCaption));
            if (answer == orka::ui::Answer::Cancel)
                break; // what was confirmed before still goes
            if (answer == orka::ui::Answer::YesToAll) {
                confirmed.insert(confirmed.end(), indexes.begin() + std::ptrdiff_t(n), indexes.end());
                break;
            }
            if (answer == orka::ui::Answer::Yes)
                confirmed.push_back(indexes[n]);
        }
    } else {
        confirmed = indexes;
    }
    if (confirmed.empty())
        return false;
    if (folder->kind == FolderKind::Handset && !deleteOnHandset(*folder, confirmed))
        return false;
    if (!attempt([&] { removeItems(doc_, folderId, confirmed); }))
        return false;
    Q_EMIT folderChanged(folderId);
    return true;
}

bool ItemCommands::importInto(int folderId)
{
    FolderNode* folder = folderFor(folderId, true);
    if (!folder)
        return false;
    app_.uiInfo().setLastMode(WorkingMode::ImportOrEdit);
    const int categoryId = categoryOf(folderId);
    const QStringList chosen =
        orka::ui::chooseOpenFiles(window_, {}, fromUtf8(importFilter(categoryId)), true);
    if (chosen.isEmpty())
        return false;
    std::vector<fs::path> files;
    for (const QString& file : chosen)
        files.push_back(pathOf(file));
    if (!attempt([&] { checkImportSelection(categoryId, files); }))
        return false;
    if (isMenuPackageFile(files.front()))
        return uploadPackage(chosen.front());
    if (folder->kind == FolderKind::SavedMenus) {
        // Saved menus hold whole sets, which come from packages only.
        orka::ui::showMessage(window_, kStrBadFileFormat);
        return false;
    }

    // Every file is checked before any editing starts; then each goes through its editing
    // pages, and only when all of them finished does anything become an item.
    std::vector<WizardSource> sources;
    if (!attempt([&] {
            for (const auto& file : files)
                sources.push_back(importedSource(categoryId, std::span(&file, 1)));
        }))
        return false;
    std::vector<GalleryItem> items;
    ItemEditorDialog editor(window_);
    editor.pages().setRingToneRules(app_.settings().ringTone);
    for (const WizardSource& source : sources) {
        auto contents = editor.runImport(categoryId, source);
        if (!contents)
            return false; // the user left the pages: nothing of this import is kept
        contents = contentsForFolder(folder->kind, std::move(*contents));
        for (std::size_t n = 0; n < contents->size(); ++n)
            items.push_back(GalleryItem::make(nthItemName(source.name, n), std::move((*contents)[n])));
    }
    const std::size_t before = folder->items.size();
    const bool added = attempt([&] {
        for (auto& item : items)
            doc_.addItem(folderId, std::move(item));
        doc_.saveFolder(folderId);
    });
    if (!added && folder->items.size() > before)
        folder->items.erase(folder->items.begin() + std::ptrdiff_t(before), folder->items.end());
    Q_EMIT folderChanged(folderId);
    return added;
}

bool ItemCommands::canEditItem(int folderId, std::size_t index) const
{
    const FolderNode* folder = doc_.findFolder(folderId);
    return folder && folder->stored() && !folder->readOnly && index < folder->items.size() &&
           ItemEditingPages::isEditable(folder->items[index].content);
}

bool ItemCommands::editItem(int folderId, std::size_t index)
{
    FolderNode* folder = folderFor(folderId, true);
    if (!folder || index >= folder->items.size() || !canEditItem(folderId, index))
        return false;
    app_.uiInfo().setLastMode(WorkingMode::ImportOrEdit);
    ItemEditorDialog editor(window_);
    editor.pages().setRingToneRules(app_.settings().ringTone);
    auto contents = editor.runEdit(categoryOf(folderId), folder->items[index]);
    if (!contents || contents->size() != 1)
        return false;
    // The item as it was comes back when the folder file cannot take the edit.
    const GalleryItem before = folder->items[index];
    const bool replaced = attempt([&] {
        doc_.replaceItemContent(folderId, index, std::move(contents->front()));
        doc_.saveFolder(folderId);
    });
    if (!replaced)
        folder->items[index] = before;
    Q_EMIT folderChanged(folderId);
    return replaced;
}

bool ItemCommands::exportItems(int folderId, const std::vector<std::size_t>& indexes)
{
    const FolderNode* folder = folderFor(folderId, false);
    return folder && exportFrom(*folder, indexes);
}

bool ItemCommands::exportFrom(const FolderNode& folder, const std::vector<std::size_t>& indexes)
{
    if (indexes.empty())
        return false;
    const std::vector<ExportType> types = exportTypesOf(itemKindOf(doc_, folder));
    if (types.empty())
        return false;
    // The names are checked before the folder is asked for.
    if (!attempt([&] { planExport(folder, indexes, {}, types.front()); }))
        return false;

    ExportDialog dialog(window_, types, exportFolder_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    exportFolder_ = dialog.folder();
    const ExportType type = dialog.type();
    return attempt([&] {
        for (const ExportFile& file : planExport(folder, indexes, pathOf(exportFolder_), type))
            writeExportFile(folder.items[file.index], file.path, type);
    });
}

bool ItemCommands::mailItems(int folderId, const std::vector<std::size_t>& indexes)
{
    const FolderNode* folder = folderFor(folderId, false);
    if (!folder || indexes.empty())
        return false;
    const ExportType type = mailTypeOf(itemKindOf(doc_, *folder));
    std::vector<std::string> files;
    if (!attempt([&] {
            const fs::path mailDir = makeMailFolder(platform::StatePaths::mailDir());
            for (const ExportFile& file : planExport(*folder, indexes, mailDir, type)) {
                writeExportFile(folder->items[file.index], file.path, type);
                files.push_back(file.path.string());
            }
        }))
        return false;

    // The mail program runs beside the event loop, the main window disabled meanwhile; its
    // answer is not the suite's business. The files stay: a mail program that hands the
    // message on reads them later.
    if (window_)
        window_->setEnabled(false);
    QEventLoop loop;
    std::thread sender([&loop, files] {
        platform::Mailer().send(files);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    sender.join();
    if (window_)
        window_->setEnabled(true);
    return true;
}

} // namespace orka::app::ui
