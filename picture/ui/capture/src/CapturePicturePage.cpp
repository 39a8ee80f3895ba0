#include "orka/picture/ui/CapturePicturePage.h"

#include "CaptureTexts.h"
#include "CaptureView.h"
#include "orka/picture/ui/PictureImage.h"
#include "ui_CapturePicturePage.h"

#include "orka/Failure.h"
#include "orka/app/GalleryModel.h"
#include "orka/picture/PictureError.h"
#include "orka/picture/PictureFile.h"
#include "orka/ui/HelpViewer.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QIcon>
#include <QListWidgetItem>
#include <QPixmap>

namespace orka::picture::ui {

using orka::ui::uiFormat;

namespace {
constexpr QSize kMenuThumbnail(48, 32);
} // namespace

CapturePicturePage::CapturePicturePage(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::CapturePicturePage>())
{
    ui_->setupUi(this);
    ui_->menuList->setIconSize(kMenuThumbnail);
    connect(ui_->openButton, &QPushButton::clicked, this, &CapturePicturePage::chooseFile);
    connect(ui_->zoomInButton, &QPushButton::clicked, ui_->captureView, &CaptureView::zoomIn);
    connect(ui_->zoomOutButton, &QPushButton::clicked, ui_->captureView, &CaptureView::zoomOut);
    connect(ui_->fitButton, &QPushButton::clicked, ui_->captureView, &CaptureView::fit);
    connect(ui_->captureView, &CaptureView::frameChanged, this, &CapturePicturePage::showFrame);
    connect(ui_->addToMenuButton, &QPushButton::clicked, this, &CapturePicturePage::addToMenu);
    connect(ui_->removeFromMenuButton, &QPushButton::clicked, this, &CapturePicturePage::removeFromMenu);
    connect(ui_->menuList, &QListWidget::currentRowChanged, this, &CapturePicturePage::updateMenuGroup);
    connect(ui_->helpButton, &QPushButton::clicked, this, [this] { orka::ui::HelpViewer::showHelp(this, kHelpTopic); });
    connect(ui_->backButton, &QPushButton::clicked, this, &CapturePicturePage::backRequested);
    connect(ui_->nextButton, &QPushButton::clicked, this, &CapturePicturePage::goNext);
    setCategory(categoryId_);
}

CapturePicturePage::~CapturePicturePage() = default;

CaptureView* CapturePicturePage::captureView() const
{
    return ui_->captureView;
}

bool CapturePicturePage::isMainMenu() const
{
    return categoryId_ == app::kMainMenuCategory;
}

void CapturePicturePage::setCategory(int categoryId)
{
    const app::CategoryRow* row = app::findCategoryRow(categoryId);
    if (!row || row->kind != app::FolderKind::Picture)
        return;
    const bool changed = categoryId != categoryId_;
    categoryId_ = categoryId;
    targetWidth_ = std::uint32_t(row->widthLimit);
    targetHeight_ = std::uint32_t(row->heightLimit);
    if (changed) {
        menuPictures_.clear();
        ui_->menuList->clear();
    }
    ui_->menuGroup->setVisible(isMainMenu());
    ui_->sizeLabel->setText(uiFormat(kStrPictureSize, {QString::number(targetWidth_), QString::number(targetHeight_)}));
    resetFrame();
}

bool CapturePicturePage::setSourceFile(const QString& path)
{
    DibPicture picture;
    try {
        picture = loadPicture(std::filesystem::path(path.toStdString())).toRgb();
    } catch (const Failure& failure) {
        orka::ui::showFailure(this, failure);
        return false;
    } catch (const std::bad_alloc&) {
        orka::ui::showMessage(this, unsigned(PictureMessage::OutOfMemory));
        return false;
    }
    if (picture.empty()) {
        orka::ui::showMessage(this, unsigned(PictureMessage::NoImageData));
        return false;
    }
    source_ = std::move(picture);
    sourceFile_ = path;
    resetFrame();
    return true;
}

void CapturePicturePage::resetFrame()
{
    if (source_.empty()) {
        ui_->captureView->clear();
        return;
    }
    ui_->captureView->setPicture(imageFromPicture(source_),
                                 CaptureFrame(source_.width(), source_.height(), targetWidth_, targetHeight_));
}

DibPicture CapturePicturePage::capturedPicture() const
{
    if (source_.empty())
        return {};
    return cropAndScale(source_, ui_->captureView->frame().rect(), targetWidth_, targetHeight_);
}

void CapturePicturePage::showFrame()
{
    const CaptureFrame& frame = ui_->captureView->frame();
    ui_->zoomInButton->setEnabled(frame.canZoomIn());
    ui_->zoomOutButton->setEnabled(frame.canZoomOut());
    ui_->fitButton->setEnabled(!frame.empty());
    ui_->resultLabel->setPixmap(QPixmap::fromImage(imageFromPicture(capturedPicture())));
    updateMenuGroup();
}

void CapturePicturePage::chooseFile()
{
    const QString file = chooseSourceFile(this, kStrPictureFilter, sourceFile_);
    if (!file.isEmpty())
        setSourceFile(file);
}

void CapturePicturePage::addToMenu()
{
    if (int(menuPictures_.size()) >= kMostMenuPictures) {
        orka::ui::showMessage(this, kStrMenuFull, {std::to_string(kMostMenuPictures)});
        return;
    }
    DibPicture picture = capturedPicture();
    if (picture.empty()) {
        orka::ui::showMessage(this, kStrNoFile);
        return;
    }
    auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(thumbnailOf(picture, kMenuThumbnail))),
                                     QString::number(menuPictures_.size() + 1));
    item->setData(Qt::AccessibleTextRole, item->text());
    ui_->menuList->addItem(item);
    menuPictures_.push_back(std::move(picture));
    ui_->menuList->setCurrentRow(ui_->menuList->count() - 1);
    updateMenuGroup();
}

void CapturePicturePage::removeFromMenu()
{
    const int row = ui_->menuList->currentRow();
    if (row < 0 || row >= int(menuPictures_.size()))
        return;
    menuPictures_.erase(menuPictures_.begin() + row);
    delete ui_->menuList->takeItem(row);
    // The captions are the pictures' places in the set.
    for (int i = 0; i < ui_->menuList->count(); ++i) {
        ui_->menuList->item(i)->setText(QString::number(i + 1));
        ui_->menuList->item(i)->setData(Qt::AccessibleTextRole, QString::number(i + 1));
    }
    updateMenuGroup();
}

void CapturePicturePage::updateMenuGroup()
{
    ui_->menuCountLabel->setText(uiFormat(kStrMenuCount, {QString::number(menuPictures_.size())}));
    ui_->addToMenuButton->setEnabled(!source_.empty() && int(menuPictures_.size()) < kMostMenuPictures);
    ui_->removeFromMenuButton->setEnabled(ui_->menuList->currentRow() >= 0);
}

void CapturePicturePage::goNext()
{
    if (isMainMenu() && !menuPictures_.empty()) {
        Q_EMIT picturesCaptured(menuPictures_);
        return;
    }
    // Any other picture, or a set to which nothing was added yet: the frame's picture alone.
    DibPicture picture = capturedPicture();
    if (picture.empty()) {
        orka::ui::showMessage(this, kStrNoFile);
        return;
    }
    Q_EMIT picturesCaptured({std::move(picture)});
}

} // namespace orka::picture::ui
