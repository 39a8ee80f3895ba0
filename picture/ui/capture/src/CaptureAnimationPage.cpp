#include "orka/picture/ui/CaptureAnimationPage.h"

#include "CaptureTexts.h"
#include "orka/picture/ui/PictureImage.h"
#include "PicturePreview.h"
#include "ui_CaptureAnimationPage.h"

#include "orka/Failure.h"
#include "orka/app/ItemPictures.h"
#include "orka/picture/AnimationCapture.h"
#include "orka/picture/CaptureFrame.h"
#include "orka/picture/PictureError.h"
#include "orka/picture/PictureZoom.h"
#include "orka/ui/HelpViewer.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QIcon>
#include <QListWidgetItem>
#include <QScrollBar>

#include <algorithm>

namespace orka::picture::ui {

using orka::ui::uiFormat;

namespace {
constexpr QSize kThumbnail(64, 80);
constexpr int kMostFrameValue = 255;         // an item keeps a frame's display time in one byte
constexpr int kFrameRole = Qt::UserRole;     // the frame index an item of a strip shows

QListWidgetItem* frameItem(const DibPicture& picture, int frame)
{
    const QString caption = uiFormat(kStrFrameCaption, {QString::number(frame + 1)});
    auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(thumbnailOf(picture, kThumbnail))), caption);
    item->setData(kFrameRole, frame);
    item->setData(Qt::AccessibleTextRole, caption);
    return item;
}
} // namespace

CaptureAnimationPage::CaptureAnimationPage(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::CaptureAnimationPage>())
{
    ui_->setupUi(this);
    for (QListWidget* strip : {ui_->allFramesList, ui_->chosenFramesList})
        strip->setIconSize(kThumbnail);
    connect(ui_->openButton, &QToolButton::clicked, this, &CaptureAnimationPage::chooseFile);
    connect(ui_->firstFiveButton, &QToolButton::clicked, this, [this] { chooseRule(SelectionMode::FirstFive); });
    connect(ui_->averageCountButton, &QToolButton::clicked, this,
            [this] { chooseRule(SelectionMode::ByAverageCount); });
    connect(ui_->averageTimeButton, &QToolButton::clicked, this, [this] { chooseRule(SelectionMode::ByAverageTime); });
    connect(ui_->playButton, &QToolButton::clicked, this, &CaptureAnimationPage::play);
    connect(ui_->stopButton, &QToolButton::clicked, this, &CaptureAnimationPage::stop);
    connect(ui_->zoomInButton, &QToolButton::clicked, this, &CaptureAnimationPage::zoomIn);
    connect(ui_->zoomOutButton, &QToolButton::clicked, this, &CaptureAnimationPage::zoomOut);
    connect(ui_->fitButton, &QToolButton::clicked, this, &CaptureAnimationPage::fitToView);
    connect(ui_->effectButton, &QToolButton::clicked, this, &CaptureAnimationPage::runEffect);
    connect(ui_->helpButton, &QPushButton::clicked, this, [this] { orka::ui::HelpViewer::showHelp(this, kHelpTopic); });
    connect(ui_->backButton, &QPushButton::clicked, this, &CaptureAnimationPage::backRequested);
    connect(ui_->nextButton, &QPushButton::clicked, this, &CaptureAnimationPage::goNext);
    for (QListWidget* strip : {ui_->allFramesList, ui_->chosenFramesList})
        connect(strip, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
            if (!playing())
                showFrame(item->data(kFrameRole).toInt());
        });
    // The playback thread only signals; the widgets change on this thread.
    connect(this, &CaptureAnimationPage::framePlayed, this, &CaptureAnimationPage::showPlayedFrame,
            Qt::QueuedConnection);
    effectTimer_.setInterval(int(ShrinkEnlargeEffect::kPause.count()));
    connect(&effectTimer_, &QTimer::timeout, this, &CaptureAnimationPage::nextEffectStep);
    updateCommands();
}

CaptureAnimationPage::~CaptureAnimationPage()
{
    // The thread must be gone before the page it signals to.
    player_.stop();
    player_.join();
}

int CaptureAnimationPage::frameCount() const
{
    return animation_ ? animation_->frameCount() : 0;
}

double CaptureAnimationPage::zoom() const
{
    return ui_->preview->zoom();
}

bool CaptureAnimationPage::setSourceFile(const QString& path)
{
    stop();
    effectTimer_.stop();
    std::optional<Animation> opened;
    std::vector<QListWidgetItem*> items;
    try {
        opened.emplace(openAnimationForCapture(std::filesystem::path(path.toStdString())));
        for (int frame = 0; frame < opened->frameCount(); ++frame)
            items.push_back(frameItem(opened->picture(frame), frame));
    } catch (const std::exception& failure) {
        for (QListWidgetItem* item : items)
            delete item;
        if (dynamic_cast<const std::bad_alloc*>(&failure))
            orka::ui::showMessage(this, unsigned(PictureMessage::OutOfMemory));
        else
            orka::ui::showFailure(this, failure);
        updateCommands();
        return false;
    }
    animation_ = std::move(opened);
    sourceFile_ = path;
    selector_.clear();
    effect_.reset();
    ui_->allFramesList->clear();
    for (QListWidgetItem* item : items)
        ui_->allFramesList->addItem(item);
    fillChosenStrip();
    applyZoom(1.0, true, true);
    showFrame(0);
    updateCommands();
    return true;
}

void CaptureAnimationPage::resetTools()
{
    stop();
    effectTimer_.stop();
    selector_.clear();
    effect_.reset();
    fillChosenStrip();
    applyZoom(1.0, true, true);
    if (animation_)
        showFrame(0);
    updateCommands();
}

void CaptureAnimationPage::chooseFile()
{
    const QString file = chooseSourceFile(this, kStrGifFilter, sourceFile_);
    if (!file.isEmpty())
        setSourceFile(file);
}

void CaptureAnimationPage::chooseRule(SelectionMode mode)
{
    if (animation_ && !playing() && selector_.choose(mode, animation_->delays())) {
        effect_.reset();
        fillChosenStrip();
        if (selector_.selection())
            showFrame(selector_.selection()->front());
    }
    // A click on a pushed button would release it: the buttons always show the mode in force.
    updateCommands();
}

void CaptureAnimationPage::fillChosenStrip()
{
    ui_->chosenFramesList->clear();
    if (!animation_ || !selector_.selection())
        return;
    for (int frame : *selector_.selection())
        ui_->chosenFramesList->addItem(frameItem(animation_->picture(frame), frame));
}

void CaptureAnimationPage::play()
{
    if (!animation_ || playing() || effectTimer_.isActive())
        return;
    playList_ = selector_.previewFrames(animation_->frameCount());
    std::vector<int> delays;
    for (int frame : playList_)
        delays.push_back(animation_->delays().at(std::size_t(frame)));
    player_.start(std::move(delays), [this](int index) { Q_EMIT framePlayed(index); });
    updateCommands();
}

void CaptureAnimationPage::stop()
{
    player_.stop();
    player_.join();
    updateCommands();
}

void CaptureAnimationPage::hideEvent(QHideEvent* event)
{
    stop();
    effectTimer_.stop();
    QWidget::hideEvent(event);
}

void CaptureAnimationPage::showPlayedFrame(int index)
{
    // A frame signalled just before stop may still arrive; it is shown only while playing.
    if (playing() && index >= 0 && index < int(playList_.size()))
        showFrame(playList_[std::size_t(index)]);
}

void CaptureAnimationPage::showFrame(int frame)
{
    if (!animation_ || frame < 0 || frame >= animation_->frameCount())
        return;
    shownFrame_ = frame;
    ui_->preview->setImage(imageFromPicture(animation_->picture(frame)));
}

void CaptureAnimationPage::applyZoom(double factor, bool zoomInEnabled, bool zoomOutEnabled)
{
    ui_->preview->setZoom(factor);
    ui_->zoomInButton->setEnabled(zoomInEnabled);
    ui_->zoomOutButton->setEnabled(zoomOutEnabled);
}

void CaptureAnimationPage::zoomIn()
{
    const ZoomState state = orka::zoomIn(zoom());
    applyZoom(state.factor, state.zoomInEnabled, state.zoomOutEnabled);
}

void CaptureAnimationPage::zoomOut()
{
    const ZoomState state = orka::zoomOut(zoom());
    applyZoom(state.factor, state.zoomInEnabled, state.zoomOutEnabled);
}

void CaptureAnimationPage::fitToView()
{
    const QImage& image = ui_->preview->image();
    const QSize room = ui_->previewArea->viewport()->size();
    if (image.isNull())
        return;
    const FitResult fit = fitToFrame(image.width(), image.height(), room.width(), room.height());
    applyZoom(fit.factor, true, true);
}

void CaptureAnimationPage::runEffect()
{
    if (!animation_ || playing() || effectTimer_.isActive())
        return;
    ui_->previewArea->verticalScrollBar()->setValue(0);
    ui_->previewArea->horizontalScrollBar()->setValue(0);
    const DibPicture& picture = animation_->picture(shownFrame_);
    effectSteps_.clear();
    const QSize room = ui_->previewArea->viewport()->size();
    for (const ShrinkEnlargeEffect::Drawing& drawing : effect_.drawings(picture, room.width(), room.height()))
        effectSteps_.push_back(imageFromPicture(*drawing.picture));
    effectStep_ = 0;
    nextEffectStep();
    effectTimer_.start();
    updateCommands();
}

void CaptureAnimationPage::nextEffectStep()
{
    if (effectStep_ >= effectSteps_.size()) {
        effectTimer_.stop();
        updateCommands();
        return;
    }
    ui_->preview->setImage(effectSteps_[effectStep_++]);
}

void CaptureAnimationPage::updateCommands()
{
    const bool loaded = animation_.has_value();
    const bool running = playing();
    const bool idle = loaded && !running && !effectTimer_.isActive();
    const SelectionMode mode = selector_.mode();
    const std::pair<QAbstractButton*, SelectionMode> rules[] = {{ui_->firstFiveButton, SelectionMode::FirstFive},
                                                                {ui_->averageCountButton, SelectionMode::ByAverageCount},
                                                                {ui_->averageTimeButton, SelectionMode::ByAverageTime}};
    for (const auto& [button, buttonMode] : rules) {
        button->setChecked(mode == buttonMode);
        button->setEnabled(idle);
    }
    ui_->playButton->setEnabled(idle);
    ui_->stopButton->setEnabled(running);
    ui_->effectButton->setEnabled(idle);
    ui_->openButton->setEnabled(!running);
    ui_->nextButton->setEnabled(!running);
    ui_->backButton->setEnabled(!running);
    ui_->fitButton->setEnabled(loaded);
    ui_->allFramesList->setEnabled(!running);
    ui_->chosenFramesList->setEnabled(!running);
}

std::optional<app::AnimationContent> CaptureAnimationPage::capturedAnimation()
{
    if (!animation_)
        return std::nullopt;
    // With exactly five frames every rule picks all of them, so none needs choosing.
    std::optional<FrameSelection> chosen = selector_.selection();
    if (!chosen && animation_->frameCount() == kAnimationFrames)
        chosen = selectFirstFive();
    if (!chosen)
        return std::nullopt;
    const app::CategoryRow* row = app::findCategoryRow(kAnimationCategory);
    app::AnimationContent content;
    for (int frame : *chosen) {
        app::AnimationFrame out;
        out.value = std::uint8_t(std::clamp(animation_->delays().at(std::size_t(frame)), 0, kMostFrameValue));
        out.bitmap = app::bitmapFromPicture(
            fitPicture(animation_->picture(frame), std::uint32_t(row->widthLimit), std::uint32_t(row->heightLimit)));
        content.frames.push_back(std::move(out));
    }
    return content;
}

void CaptureAnimationPage::goNext()
{
    if (playing())
        return;
    if (!animation_) {
        orka::ui::showMessage(this, kStrNoFile);
        return;
    }
    std::optional<app::AnimationContent> content;
    try {
        content = capturedAnimation();
    } catch (const std::exception& failure) {
        orka::ui::showFailure(this, failure);
        return;
    }
    if (!content) {
        orka::ui::showMessage(this, kStrChooseRule);
        return;
    }
    Q_EMIT animationCaptured(*content);
}

} // namespace orka::picture::ui
