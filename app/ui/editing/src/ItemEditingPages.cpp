#include "orka/app/ui/ItemEditingPages.h"

#include "EditPicturePage.h"
#include "orka/app/ItemPictures.h"
#include "orka/audio/ui/RingToneEditPage.h"
#include "orka/picture/ui/CaptureAnimationPage.h"
#include "orka/picture/ui/CapturePicturePage.h"
#include "orka/ui/HelpViewer.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QAction>
#include <QStackedWidget>

namespace orka::app::ui {

using orka::ui::fromUtf8;

ItemEditingPages::ItemEditingPages(QStackedWidget& stack, QObject* parent)
    : QObject(parent)
    , stack_(stack)
{
    captureAnimation_ = new picture::ui::CaptureAnimationPage;
    capturePicture_ = new picture::ui::CapturePicturePage;
    editPicture_ = new orka::ui::EditPicturePage;
    ringTone_ = new audio::ui::RingToneEditPage;
    for (QWidget* page : std::initializer_list<QWidget*>{captureAnimation_, capturePicture_, editPicture_, ringTone_})
        stack_.addWidget(page);
    connectPages();

    // F1 anywhere on a page asks for that page's help, as its help button does.
    auto* help = new QAction(&stack_);
    help->setShortcut(QKeySequence::HelpContents);
    help->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(help, &QAction::triggered, this, [this] {
        for (const auto& info : kWizardPages)
            if (stack_.currentWidget() == page(info.page) && stack_.currentWidget())
                orka::ui::HelpViewer::showHelp(stack_.window(), helpTopicOf(info.page));
    });
    stack_.addAction(help);
}

ItemEditingPages::~ItemEditingPages() = default;

void ItemEditingPages::setRingToneRules(const RingToneBlock& switches)
{
    ringTone_->editor().setOpeningRules({switches.defaultSetting(), switches.autoRepeat()});
}

void ItemEditingPages::connectPages()
{
    connect(capturePicture_, &picture::ui::CapturePicturePage::picturesCaptured, this,
            [this](const std::vector<DibPicture>& pictures) {
                editPicture_->setPictures(pictures, categoryId_);
                show(WizardPage::EditPicture);
            });
    connect(capturePicture_, &picture::ui::CapturePicturePage::backRequested, this,
            [this] { back(WizardPage::CapturePicture); });
    connect(editPicture_, &orka::ui::EditPicturePage::picturesEdited, this, &ItemEditingPages::picturesEdited);
    connect(editPicture_, &orka::ui::EditPicturePage::backRequested, this, [this] { back(WizardPage::EditPicture); });
    connect(captureAnimation_, &picture::ui::CaptureAnimationPage::animationCaptured, this,
            [this](const AnimationContent& animation) { finish({animation}); });
    connect(captureAnimation_, &picture::ui::CaptureAnimationPage::backRequested, this,
            [this] { back(WizardPage::CaptureAnimation); });
    connect(ringTone_, &audio::ui::RingToneEditPage::ringToneMade, this, [this](const std::vector<std::uint8_t>& smaf) {
        ringTone_->stopPlayback();
        finish({MelodyContent{MelodyContent::kSmaf, smaf}});
    });
    connect(ringTone_, &audio::ui::RingToneEditPage::backRequested, this, [this] {
        ringTone_->stopPlayback();
        back(WizardPage::RingToneEditing);
    });
}

QWidget* ItemEditingPages::page(WizardPage page) const
{
    switch (page) {
    case WizardPage::CapturePicture:
        return capturePicture_;
    case WizardPage::EditPicture:
        return editPicture_;
    case WizardPage::CaptureAnimation:
        return captureAnimation_;
    case WizardPage::RingToneEditing:
        return ringTone_;
    default:
        return nullptr;
    }
}

unsigned ItemEditingPages::helpTopicOf(WizardPage page)
{
    switch (page) {
    case WizardPage::CapturePicture:
        return picture::ui::CapturePicturePage::kHelpTopic;
    case WizardPage::EditPicture:
        return orka::ui::EditPicturePage::kHelpTopicId;
    case WizardPage::CaptureAnimation:
        return picture::ui::CaptureAnimationPage::kHelpTopic;
    case WizardPage::RingToneEditing:
        return kRingToneHelpTopic;
    default:
        return 0;
    }
}

bool ItemEditingPages::isEditable(const ItemContent& content)
{
    const auto* melody = std::get_if<MelodyContent>(&content);
    return !melody || !melody->isSmaf();
}

void ItemEditingPages::show(WizardPage page)
{
    const CategoryRow* row = findCategoryRow(categoryId_);
    Q_EMIT pageWanted(page, row ? row->nameId : 0);
}

void ItemEditingPages::back(WizardPage from)
{
    if (from == WizardPage::EditPicture && firstPage_ == WizardPage::CapturePicture)
        show(WizardPage::CapturePicture);
    else
        Q_EMIT leftFirstPage();
}

void ItemEditingPages::picturesEdited(const std::vector<DibPicture>& pictures)
{
    if (editedAnimation_)
        finish({editedFrames(pictures, *editedAnimation_, categoryId_)});
    else
        finish(itemContentsOf(pictures, categoryId_));
}

void ItemEditingPages::finish(std::vector<ItemContent> contents)
{
    Q_EMIT finished(contents);
}

void ItemEditingPages::stopBackground()
{
    ringTone_->stopPlayback();
    captureAnimation_->resetTools();
}

bool ItemEditingPages::startImport(int categoryId, const WizardSource& source)
{
    const auto step = nextStepAfterChoosing(categoryId, source.kind);
    if (!step)
        return false;
    categoryId_ = categoryId;
    editedAnimation_.reset();
    firstPage_ = step->page;
    try {
        switch (step->page) {
        case WizardPage::CapturePicture:
            capturePicture_->setCategory(categoryId);
            // A file the picture reader refuses was reported by the page.
            if (!capturePicture_->setSourceFile(fromUtf8(sourceFile(source, scratch_.path().toStdString()).string())))
                return false;
            break;
        case WizardPage::CaptureAnimation:
            // An animation of the gallery has its five frames already.
            if (source.itemContent) {
                finish({*source.itemContent});
                return true;
            }
            if (!captureAnimation_->setSourceFile(fromUtf8(source.file.string())))
                return false;
            break;
        case WizardPage::RingToneEditing:
            ringTone_->setSong(source.tune, fromUtf8(source.name));
            break;
        default:
            finish(resultWithoutEditing(source, categoryId).contents);
            return true;
        }
    } catch (const std::exception& failure) {
        orka::ui::showFailure(stack_.window(), failure);
        return false;
    }
    show(step->page);
    return true;
}

bool ItemEditingPages::startEdit(int categoryId, const GalleryItem& item)
{
    if (!isEditable(item.content))
        return false;
    categoryId_ = categoryId;
    editedAnimation_.reset();
    try {
        if (const auto* picture = std::get_if<PictureContent>(&item.content)) {
            editPicture_->setPictures({pictureFromBitmap(picture->bitmap)}, categoryId);
            firstPage_ = WizardPage::EditPicture;
        } else if (const auto* animation = std::get_if<AnimationContent>(&item.content)) {
            if (animation->frames.empty())
                return false;
            editPicture_->setPictures(framePictures(*animation), categoryId);
            editedAnimation_ = *animation;
            firstPage_ = WizardPage::EditPicture;
        } else {
            ringTone_->setSong(std::get<MelodyContent>(item.content).data, fromUtf8(item.name));
            firstPage_ = WizardPage::RingToneEditing;
        }
    } catch (const std::exception& failure) {
        orka::ui::showFailure(stack_.window(), failure);
        return false;
    }
    show(firstPage_);
    return true;
}

} // namespace orka::app::ui
