#include "WizardPages.h"

#include "ui_ChooseFilePage.h"
#include "ui_ChooseMediaPage.h"
#include "ui_UploadOrSavePage.h"

#include "WizardTransfer.h"

#include "orka/picture/ui/PictureImage.h"

#include "orka/app/COrkaDoc.h"
#include "orka/app/GalleryNames.h"
#include "orka/app/ItemPictures.h"
#include "orka/app/OrkaApp.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <QThread>

namespace orka::app::ui {
namespace {

using orka::ui::fromUtf8;
using orka::ui::toUtf8;
using orka::ui::uiText;

constexpr int kItemRole = Qt::UserRole;         // >= 0 a folder item's index, < 0 an imported file
constexpr int kFolderRole = Qt::UserRole;       // a folder's id
constexpr int kPreviewSide = 160;
constexpr int kNewFolderEntry = -1;             // the folder list's entry for a folder still to make
constexpr unsigned kStrNewFolderName = 65039;   // "新資料夾"
constexpr unsigned kStrMidiType = 65165;        // "MIDI"
constexpr unsigned kStrSmafType = 65166;        // "MMF"

// An item bitmap as an image, through the picture model's one crossing into Qt.
QImage bitmapImage(const Bitmap& bitmap)
{
    return orka::picture::ui::imageFromPicture(pictureFromBitmap(bitmap));
}

// Whether a folder can keep this result: a local folder (or the saved menus) that takes
// changes and items of its kind.
bool folderTakes(const FolderNode& folder, const ItemContent& content)
{
    const bool local = isLocalFolder(folder.id) || folder.kind == FolderKind::SavedMenus;
    return local && !folder.readOnly && contentFits(folder.kind, content);
}

} // namespace

// --- choose media (210) ---

ChooseMediaPage::ChooseMediaPage(QWidget* parent)
    : QWidget(parent)
    , ui_(std::make_unique<Ui::ChooseMediaPage>())
{
    ui_->setupUi(this);
    ui_->welcome->setText(uiText(WizardText::kWelcome));
    ui_->explanation->setText(uiText(WizardText::kWelcomeExplanation));
    for (const int category : kWizardCategories) {
        QPushButton* button = categoryButton(category);
        button->setText(uiText(findCategoryRow(category)->nameId));
        connect(button, &QPushButton::clicked, this, [this, category] { Q_EMIT categoryChosen(category); });
    }
    connect(ui_->javaButton, &QPushButton::clicked, this, &ChooseMediaPage::javaChosen);
    connect(ui_->managementButton, &QPushButton::clicked, this, &ChooseMediaPage::managementModeChosen);
    connect(ui_->endProgramButton, &QPushButton::clicked, this, &ChooseMediaPage::endProgramChosen);
}

ChooseMediaPage::~ChooseMediaPage() = default;

QPushButton* ChooseMediaPage::categoryButton(int categoryId) const
{
    switch (categoryId) {
    case 20000:
        return ui_->wallpaperButton;
    case 30000:
        return ui_->mainMenuButton;
    case 40000:
        return ui_->callerPhotoButton;
    case 50000:
        return ui_->animationButton;
    case 70000:
        return ui_->ringToneButton;
    default:
        return nullptr;
    }
}

QPushButton* ChooseMediaPage::javaButton() const
{
    return ui_->javaButton;
}

// --- choose file (211) ---

ChooseFilePage::ChooseFilePage(COrkaDoc& doc, QWidget* parent)
    : QWidget(parent)
    , doc_(doc)
    , ui_(std::make_unique<Ui::ChooseFilePage>())
{
    ui_->setupUi(this);
    ui_->heading->setText(uiText(WizardText::kChooseFile));
    ui_->explanation->setText(uiText(WizardText::kChooseFileExplanation));
    ui_->importButton->setText(uiText(WizardText::kImport));
    ui_->folderLabel->setText(uiText(WizardText::kFolder));
    connect(ui_->folderBox, &QComboBox::currentIndexChanged, this, &ChooseFilePage::showFolder);
    connect(ui_->importButton, &QPushButton::clicked, this, &ChooseFilePage::importFiles);
    connect(ui_->nextButton, &QPushButton::clicked, this, &ChooseFilePage::next);
    connect(ui_->backButton, &QPushButton::clicked, this, &ChooseFilePage::backRequested);
    connect(ui_->itemList, &QListWidget::itemDoubleClicked, this, &ChooseFilePage::next);
}

ChooseFilePage::~ChooseFilePage() = default;

QPushButton* ChooseFilePage::importButton() const { return ui_->importButton; }
QPushButton* ChooseFilePage::nextButton() const { return ui_->nextButton; }
QComboBox* ChooseFilePage::folderBox() const { return ui_->folderBox; }
QListWidget* ChooseFilePage::itemList() const { return ui_->itemList; }

void ChooseFilePage::fill(int categoryId)
{
    if (categoryId != categoryId_)
        imported_.clear();
    categoryId_ = categoryId;
    const QSignalBlocker quiet(ui_->folderBox);
    ui_->folderBox->clear();
    if (const CategoryNode* category = doc_.findCategory(categoryId))
        for (const auto& folder : category->folders)
            if (isLocalFolder(folder->id))
                ui_->folderBox->addItem(fromUtf8(folder->name), folder->id);
    ui_->folderBox->setCurrentIndex(ui_->folderBox->count() > 0 ? 0 : -1);
    showFolder(ui_->folderBox->currentIndex());
}

void ChooseFilePage::listImported()
{
    for (std::size_t i = 0; i < imported_.size(); ++i) {
        auto* entry = new QListWidgetItem(fromUtf8(imported_[i].file.filename().string()), ui_->itemList);
        entry->setData(kItemRole, -1 - int(i));
    }
}

void ChooseFilePage::showFolder(int index)
{
    ui_->itemList->clear();
    listImported();
    if (index < 0)
        return;
    try {
        const FolderNode& folder = doc_.openFolder(ui_->folderBox->itemData(index, kFolderRole).toInt());
        for (std::size_t i = 0; i < folder.items.size(); ++i) {
            auto* entry = new QListWidgetItem(fromUtf8(folder.items[i].name), ui_->itemList);
            entry->setData(kItemRole, int(i));
        }
    } catch (const std::exception& failure) {
        orka::ui::showFailure(this, failure);
    }
}

void ChooseFilePage::importFiles()
{
    const QStringList chosen = orka::ui::chooseOpenFiles(this, uiText(WizardText::kImport),
                                                         fromUtf8(wizardImportFilter(categoryId_)), true);
    if (chosen.isEmpty())
        return;
    std::vector<std::filesystem::path> files;
    for (const QString& file : chosen)
        files.emplace_back(toUtf8(file));
    try {
        imported_.push_back(importedSource(categoryId_, files));
    } catch (const std::exception& failure) {
        orka::ui::showFailure(this, failure);
        return;
    }
    showFolder(ui_->folderBox->currentIndex());
    // The new file is the last imported entry.
    ui_->itemList->setCurrentRow(int(imported_.size()) - 1);
}

void ChooseFilePage::next()
{
    const QListWidgetItem* entry = ui_->itemList->currentItem();
    if (!entry || !entry->isSelected()) {
        orka::ui::showMessage(this, WizardText::kNothingChosen);
        return;
    }
    const int index = entry->data(kItemRole).toInt();
    if (index < 0) {
        Q_EMIT sourceChosen(imported_.at(std::size_t(-1 - index)));
        return;
    }
    const FolderNode* folder = doc_.findFolder(ui_->folderBox->currentData(kFolderRole).toInt());
    if (!folder || std::size_t(index) >= folder->items.size()) {
        orka::ui::showMessage(this, WizardText::kNothingChosen);
        return;
    }
    Q_EMIT sourceChosen(sourceFromItem(folder->items[std::size_t(index)]));
}

// --- upload or save (212) ---

UploadOrSavePage::UploadOrSavePage(COrkaApp& app, COrkaDoc& doc, QWidget* parent)
    : QWidget(parent)
    , app_(app)
    , doc_(doc)
    , ui_(std::make_unique<Ui::UploadOrSavePage>())
{
    ui_->setupUi(this);
    ui_->heading->setText(uiText(WizardText::kEditingDone));
    ui_->explanation->setText(uiText(WizardText::kEditingDoneExplanation));
    ui_->uploadGroup->setTitle(uiText(WizardText::kUploadToHandset));
    ui_->folderLabel->setText(uiText(WizardText::kChooseFolder));
    buttons_ = {ui_->renameButton, ui_->saveButton, ui_->uploadButton, ui_->previewButton,
                ui_->handsetPreviewButton};
    const QStringList labels = uiText(WizardText::kSaveButtons).split(QLatin1Char('|'));
    for (std::size_t i = 0; i < buttons_.size(); ++i)
        buttons_[i]->setText(labels.value(int(i)));
    connect(ui_->renameButton, &QPushButton::clicked, this, &UploadOrSavePage::rename);
    connect(ui_->saveButton, &QPushButton::clicked, this, &UploadOrSavePage::save);
    connect(ui_->uploadButton, &QPushButton::clicked, this, [this] { transfer(false); });
    connect(ui_->handsetPreviewButton, &QPushButton::clicked, this, [this] { transfer(true); });
    connect(ui_->previewButton, &QPushButton::clicked, this, &UploadOrSavePage::preview);
    connect(ui_->nextItemButton, &QPushButton::clicked, this, [this] { leave(LeaveChoice::NextItem); });
    connect(ui_->managementButton, &QPushButton::clicked, this, [this] { leave(LeaveChoice::ManagementMode); });
    connect(ui_->endProgramButton, &QPushButton::clicked, this, [this] { leave(LeaveChoice::EndProgram); });
    connect(&frameTimer_, &QTimer::timeout, this, [this] { showFrame(shownFrame_ + 1); });
    frameTimer_.setSingleShot(true);
}

UploadOrSavePage::~UploadOrSavePage()
{
    frameTimer_.stop();
    if (player_)
        player_->stop();
}

QPushButton* UploadOrSavePage::button(int index) const { return buttons_.at(std::size_t(index)); }
QPushButton* UploadOrSavePage::nextItemButton() const { return ui_->nextItemButton; }
QPushButton* UploadOrSavePage::managementButton() const { return ui_->managementButton; }
QPushButton* UploadOrSavePage::endProgramButton() const { return ui_->endProgramButton; }
QListWidget* UploadOrSavePage::folderList() const { return ui_->folderList; }
QLineEdit* UploadOrSavePage::nameEdit() const { return ui_->nameEdit; }

void UploadOrSavePage::setResult(int categoryId, WizardResult result)
{
    finishBackground(std::chrono::milliseconds(10));
    categoryId_ = categoryId;
    result_ = std::move(result);
    savedOrUploaded_ = false;
    ui_->nameEdit->setText(fromUtf8(result_->name));
    ui_->nameEdit->setReadOnly(true);

    ui_->folderList->clear();
    if (const CategoryNode* category = doc_.findCategory(categoryId))
        for (const auto& folder : category->folders)
            if (!result_->contents.empty() && folderTakes(*folder, result_->contents.front())) {
                auto* entry = new QListWidgetItem(fromUtf8(folder->name), ui_->folderList);
                entry->setData(kFolderRole, folder->id);
            }
    // The samples are read-only: a user without folders of his own is offered a new one, so
    // that the first pass can end in a saved item.
    if (ui_->folderList->count() == 0 && doc_.findCategory(categoryId)) {
        auto* entry = new QListWidgetItem(uiText(kStrNewFolderName), ui_->folderList);
        entry->setData(kFolderRole, kNewFolderEntry);
    }
    if (ui_->folderList->count() > 0)
        ui_->folderList->setCurrentRow(0);
    showFrame(0);
}

void UploadOrSavePage::showFrame(std::size_t frame)
{
    ui_->preview->clear();
    if (!result_ || result_->contents.empty())
        return;
    const ItemContent& content = result_->contents.front();
    if (const auto* picture = std::get_if<PictureContent>(&content)) {
        ui_->preview->setPixmap(QPixmap::fromImage(bitmapImage(picture->bitmap)));
    } else if (const auto* animation = std::get_if<AnimationContent>(&content)) {
        if (animation->frames.empty())
            return;
        if (frame >= animation->frames.size()) {
            frameTimer_.stop();
            frame = 0;
        }
        shownFrame_ = frame;
        const QImage image = bitmapImage(animation->frames[frame].bitmap);
        ui_->preview->setPixmap(
            QPixmap::fromImage(image.scaled(kPreviewSide, kPreviewSide, Qt::KeepAspectRatio)));
    } else if (const auto* melody = std::get_if<MelodyContent>(&content)) {
        ui_->preview->setText(QStringLiteral("%1\n%2 KB")
                                  .arg(uiText(melody->isSmaf() ? kStrSmafType : kStrMidiType))
                                  .arg(double(melody->data.size()) * 0.0009765625, 0, 'f', 1));
    }
    // An animation plays on while its preview runs: each frame for its display time.
    if (const auto* animation = std::get_if<AnimationContent>(&content);
        animation && frame > 0 && frame < animation->frames.size())
        frameTimer_.start(std::max(1, int(animation->frames[frame].value)) * 10);
}

void UploadOrSavePage::rename()
{
    ui_->nameEdit->setReadOnly(false);
    ui_->nameEdit->setFocus();
    ui_->nameEdit->selectAll();
}

void UploadOrSavePage::save()
{
    if (!result_ || result_->contents.empty())
        return;
    QListWidgetItem* chosen = ui_->folderList->currentItem();
    if (!chosen) {
        orka::ui::showMessage(this, WizardText::kNothingChosenAgain);
        return;
    }
    const std::string name = toUtf8(ui_->nameEdit->text().trimmed());
    if (const auto refusal = nameRefusal(name)) {
        orka::ui::showMessage(this, *refusal);
        return;
    }
    int folderId = chosen->data(kFolderRole).toInt();
    if (folderId == kNewFolderEntry) {
        try {
            folderId = doc_.freeFolderId(categoryId_);
            doc_.addLocalFolder(categoryId_, folderId, toUtf8(uiText(kStrNewFolderName)));
            doc_.saveTree();
        } catch (const std::exception& failure) {
            orka::ui::showFailure(this, failure);
            return;
        }
        chosen->setData(kFolderRole, folderId);
        Q_EMIT treeChanged();
    }
    std::size_t added = 0;
    try {
        // A folder's file is read before it grows, so that its earlier items are written too.
        doc_.openFolder(folderId);
        for (const ItemContent& content : result_->contents) {
            doc_.addItem(folderId, GalleryItem::make(nthItemName(name, added), content));
            ++added;
        }
        doc_.saveFolder(folderId);
    } catch (const std::exception& failure) {
        // Nothing of a failed save stays behind in the folder.
        if (FolderNode* folder = doc_.findFolder(folderId))
            while (added-- > 0 && !folder->items.empty())
                doc_.removeItem(folderId, folder->items.size() - 1);
        orka::ui::showFailure(this, failure);
        return;
    }
    result_->name = name;
    ui_->nameEdit->setReadOnly(true);
    savedOrUploaded_ = true;
    Q_EMIT folderChanged(folderId);
    orka::ui::showMessage(this, WizardText::kSaved);
}

void UploadOrSavePage::transfer(bool previewOnly)
{
    if (!result_ || result_->contents.empty())
        return;
    if (runWizardTransfer(this, app_, categoryId_, *result_, previewOnly))
        savedOrUploaded_ = true;
}

void UploadOrSavePage::preview()
{
    if (!result_ || result_->contents.empty())
        return;
    const ItemContent& content = result_->contents.front();
    if (const auto* melody = std::get_if<MelodyContent>(&content)) {
        if (busy()) {
            finishBackground(std::chrono::milliseconds(10));
            return;
        }
        if (!player_)
            player_ = smaf::CSmafPlayer::createDefault(this);
        player_->setData(melody->data);
        tunePlaying_ = player_->play();
    } else if (std::holds_alternative<AnimationContent>(content)) {
        if (frameTimer_.isActive())
            frameTimer_.stop();
        showFrame(0);
        showFrame(1);
    }
}

bool UploadOrSavePage::busy() const
{
    return tunePlaying_.load() || frameTimer_.isActive();
}

void UploadOrSavePage::onSmafEnd()
{
    tunePlaying_ = false;
}

void UploadOrSavePage::finishBackground(std::chrono::milliseconds interval)
{
    frameTimer_.stop();
    if (player_ && tunePlaying_.load())
        player_->stop();
    while (busy()) {
        QCoreApplication::processEvents();
        QThread::msleep(static_cast<unsigned long>(interval.count()));
    }
}

void UploadOrSavePage::leave(LeaveChoice choice)
{
    if (const auto question = leaveQuestion(choice, savedOrUploaded_))
        if (!orka::ui::askYesNo(this, *question))
            return;
    switch (choice) {
    case LeaveChoice::NextItem:
        finishBackground(std::chrono::milliseconds(10));
        savedOrUploaded_ = false;
        Q_EMIT nextItemRequested();
        break;
    case LeaveChoice::ManagementMode:
        finishBackground(std::chrono::milliseconds(100));
        Q_EMIT managementModeRequested();
        break;
    case LeaveChoice::EndProgram:
        finishBackground(std::chrono::milliseconds(100));
        Q_EMIT endProgramRequested();
        break;
    }
}

} // namespace orka::app::ui
