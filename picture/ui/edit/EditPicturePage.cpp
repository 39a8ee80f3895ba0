#include "EditPicturePage.h"

#include "AdjustmentDialogs.h"
#include "PictureCanvas.h"
#include "PictureImage.h"
#include "ui_EditPicturePage.h"

#include "orka/ui/HelpViewer.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace orka::ui {

namespace {

constexpr unsigned kStrToolLabels = 65035; // " 字型:|顏色:|大小:|斜體|底線|粗體|文字:|畫筆寬度:|畫筆顏色:"
constexpr unsigned kStrEnterText = 65051;  // "請輸入文字。"
constexpr unsigned kStrFontSizes = 65056;  // "8|9|10|...|72"
constexpr unsigned kStrPicture = 65064;    // "圖片", naming the pictures of a set
constexpr int kDefaultFontSize = 12;
// Text is laid out as on a 96-dpi screen, so a point size gives the same pixels everywhere.
constexpr int kTextDotsPerMetre = 3780;

} // namespace

EditPicturePage::EditPicturePage(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::EditPicturePage>())
{
    ui_->setupUi(this);
    frames_ = loadFrames();
    stamps_ = loadStamps();
    setUpToolOptions();
    connectControls();
    selectTool(Tool::Pen);
    refresh();
}

EditPicturePage::~EditPicturePage() = default;

PictureCanvas* EditPicturePage::canvas() const { return ui_->canvas; }

void EditPicturePage::setUpToolOptions()
{
    const QStringList labels = uiText(kStrToolLabels).split(u'|');
    QWidget* labelled[] = {ui_->fontLabel, ui_->textColourLabel, ui_->sizeLabel,  ui_->italicCheck,   ui_->underlineCheck,
                           ui_->boldCheck, ui_->textLabel,       ui_->penWidthLabel, ui_->penColourLabel};
    for (qsizetype i = 0; i < labels.size() && i < qsizetype(std::size(labelled)); ++i) {
        if (auto* label = qobject_cast<QLabel*>(labelled[i]))
            label->setText(labels[i]);
        else if (auto* check = qobject_cast<QCheckBox*>(labelled[i]))
            check->setText(labels[i]);
    }
    ui_->sizeChooser->addItems(uiText(kStrFontSizes).split(u'|'));
    ui_->sizeChooser->setCurrentText(QString::number(kDefaultFontSize));
    ui_->penWidth->setRange(kMinPenWidth, kMaxPenWidth);

    for (const PaintArtPiece& frame : frames_) {
        auto* item = new QListWidgetItem(QIcon(frame.thumbnail), QString(), ui_->frameList);
        item->setToolTip(frame.name);
        item->setData(Qt::AccessibleTextRole, frame.name);
    }
    for (const PaintArtPiece& stamp : stamps_) {
        auto* item = new QListWidgetItem(QIcon(stamp.thumbnail), QString(), ui_->stampList);
        item->setToolTip(stamp.name);
        item->setData(Qt::AccessibleTextRole, stamp.name);
    }
    if (!stamps_.empty())
        ui_->stampList->setCurrentRow(0);
}

void EditPicturePage::connectControls()
{
    connect(ui_->rotateLeftButton, &QToolButton::clicked, this, &EditPicturePage::rotateLeft);
    connect(ui_->rotateRightButton, &QToolButton::clicked, this, &EditPicturePage::rotateRight);
    connect(ui_->flipVerticalButton, &QToolButton::clicked, this, &EditPicturePage::flipVertical);
    connect(ui_->flipHorizontalButton, &QToolButton::clicked, this, &EditPicturePage::flipHorizontal);
    connect(ui_->contrastButton, &QToolButton::clicked, this, &EditPicturePage::openContrastDialog);
    connect(ui_->hslButton, &QToolButton::clicked, this, &EditPicturePage::openHslDialog);
    connect(ui_->rgbButton, &QToolButton::clicked, this, &EditPicturePage::openRgbDialog);
    connect(ui_->zoomInButton, &QToolButton::clicked, this, &EditPicturePage::zoomIn);
    connect(ui_->zoomOutButton, &QToolButton::clicked, this, &EditPicturePage::zoomOut);
    connect(ui_->fitButton, &QToolButton::clicked, this, &EditPicturePage::fitToFrame);
    connect(ui_->moveToolButton, &QToolButton::toggled, ui_->canvas, &PictureCanvas::setMoveTool);
    connect(ui_->undoButton, &QToolButton::clicked, this, &EditPicturePage::undo);
    connect(ui_->redoButton, &QToolButton::clicked, this, &EditPicturePage::redo);
    connect(ui_->applyAllButton, &QToolButton::clicked, this, &EditPicturePage::applyToAll);
    connect(ui_->penToolButton, &QToolButton::clicked, this, [this] { selectTool(Tool::Pen); });
    connect(ui_->textToolButton, &QToolButton::clicked, this, [this] { selectTool(Tool::Text); });
    connect(ui_->frameToolButton, &QToolButton::clicked, this, [this] { selectTool(Tool::Frame); });
    connect(ui_->stampToolButton, &QToolButton::clicked, this, [this] { selectTool(Tool::Stamp); });
    connect(ui_->applyTextButton, &QPushButton::clicked, this, &EditPicturePage::applyText);
    connect(ui_->frameList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { applyFrame(ui_->frameList->row(item)); });
    connect(ui_->pictureChooser, &QComboBox::activated, this,
            [this](int index) { showPicture(std::size_t(std::max(0, index))); });
    connect(ui_->canvas, &PictureCanvas::pressedAt, this, &EditPicturePage::canvasPressed);
    connect(ui_->canvas, &PictureCanvas::draggedTo, this, &EditPicturePage::canvasDragged);
    connect(ui_->canvas, &PictureCanvas::releasedAt, this, &EditPicturePage::canvasReleased);
    connect(ui_->helpButton, &QPushButton::clicked, this, [this] { HelpViewer::showHelp(this, kHelpTopicId); });
    connect(ui_->backButton, &QPushButton::clicked, this, &EditPicturePage::backRequested);
    connect(ui_->nextButton, &QPushButton::clicked, this, [this] { Q_EMIT picturesEdited(editedPictures()); });
}

void EditPicturePage::setPictures(std::vector<orka::DibPicture> pictures, int categoryId)
{
    categoryId_ = categoryId;
    const std::size_t count = pictures.size();
    history_ = PictureEditHistory(std::move(pictures));
    zoom_.assign(std::max<std::size_t>(count, 1), ZoomState{});
    current_ = 0;
    penDraft_.reset();
    textPosition_ = QPoint();
    ui_->pictureChooser->clear();
    for (std::size_t i = 0; i < count; ++i)
        ui_->pictureChooser->addItem(QStringLiteral("%1 %2").arg(uiText(kStrPicture)).arg(i + 1));
    ui_->pictureChooser->setVisible(count > 1);
    refresh();
}

std::vector<DibPicture> EditPicturePage::editedPictures() const
{
    std::vector<DibPicture> pictures;
    pictures.reserve(history_.count());
    for (std::size_t i = 0; i < history_.count(); ++i)
        pictures.push_back(history_.adjusted(i));
    return pictures;
}

void EditPicturePage::showPicture(std::size_t index)
{
    if (index >= history_.count())
        return;
    penDraft_.reset();
    current_ = index;
    ui_->pictureChooser->setCurrentIndex(int(index));
    refresh();
}

void EditPicturePage::selectTool(Tool tool)
{
    tool_ = tool;
    penDraft_.reset();
    QToolButton* buttons[] = {ui_->penToolButton, ui_->textToolButton, ui_->frameToolButton, ui_->stampToolButton};
    buttons[int(tool)]->setChecked(true);
    ui_->toolOptions->setCurrentIndex(int(tool));
    refresh();
}

void EditPicturePage::edit(const PictureEdit& edit)
{
    if (history_.count() == 0)
        return;
    history_.apply(current_, edit);
    refresh();
}

void EditPicturePage::rotateLeft() { edit(TurnEdit{TurnEdit::Kind::RotateLeft}); }
void EditPicturePage::rotateRight() { edit(TurnEdit{TurnEdit::Kind::RotateRight}); }
void EditPicturePage::flipVertical() { edit(TurnEdit{TurnEdit::Kind::FlipVertical}); }
void EditPicturePage::flipHorizontal() { edit(TurnEdit{TurnEdit::Kind::FlipHorizontal}); }

template <typename Dialog>
void EditPicturePage::openAdjustmentDialog()
{
    if (history_.count() == 0)
        return;
    const PictureEditState& state = history_.state(current_);
    auto* dialog = new Dialog(state.picture, state.adjustments, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const std::size_t index = current_;
    // Only OK stores the values; Cancel or closing the window leaves the picture as it was.
    connect(dialog, &QDialog::accepted, this, [this, dialog, index] {
        if (index < history_.count()) {
            history_.apply(index, ColourEdit{dialog->adjustments()});
            refresh();
        }
    });
    dialog->open();
}

void EditPicturePage::openContrastDialog() { openAdjustmentDialog<ContrastDialog>(); }
void EditPicturePage::openHslDialog() { openAdjustmentDialog<HslDialog>(); }
void EditPicturePage::openRgbDialog() { openAdjustmentDialog<RgbDialog>(); }

void EditPicturePage::zoomIn()
{
    zoom_.at(current_) = orka::zoomIn(zoom_.at(current_).factor);
    refresh();
}

void EditPicturePage::zoomOut()
{
    zoom_.at(current_) = orka::zoomOut(zoom_.at(current_).factor);
    refresh();
}

void EditPicturePage::fitToFrame()
{
    if (history_.count() == 0)
        return;
    // The frame is the picture as the handset will show it: its own size.
    const DibPicture& picture = history_.state(current_).picture;
    const FitResult fit = orka::fitToFrame(picture.width(), picture.height(), ui_->canvas->width(),
                                           ui_->canvas->height());
    zoom_.at(current_) = ZoomState{fit.factor, true, true};
    refresh();
}

void EditPicturePage::showChanged(const std::vector<std::size_t>& changed)
{
    penDraft_.reset();
    // A step that touched only another picture of the set brings that picture into view.
    if (changed.size() == 1 && changed.front() != current_)
        showPicture(changed.front());
    else
        refresh();
}

void EditPicturePage::undo() { showChanged(history_.undo()); }
void EditPicturePage::redo() { showChanged(history_.redo()); }

void EditPicturePage::applyToAll()
{
    if (history_.count() < 2)
        return;
    history_.applyToAll(current_);
    refresh();
}

CoverageMask EditPicturePage::renderText(const QString& text) const
{
    QFont font = ui_->fontChooser->currentFont();
    font.setPointSize(std::max(1, ui_->sizeChooser->currentText().toInt()));
    font.setBold(ui_->boldCheck->isChecked());
    font.setItalic(ui_->italicCheck->isChecked());
    font.setUnderline(ui_->underlineCheck->isChecked());

    QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
    probe.setDotsPerMeterX(kTextDotsPerMetre);
    probe.setDotsPerMeterY(kTextDotsPerMetre);
    const QFontMetrics metrics(font, &probe);
    const QRect bounds = metrics.boundingRect(text);
    // Italic overhang and the underline can reach past the advance; leave them room.
    const int width = std::max(metrics.horizontalAdvance(text), bounds.right() + 1) + metrics.height() / 4;
    const int height = std::max(metrics.height(), metrics.ascent() + metrics.underlinePos() + metrics.lineWidth() + 1);
    QImage image(std::max(1, width), std::max(1, height), QImage::Format_ARGB32_Premultiplied);
    image.setDotsPerMeterX(kTextDotsPerMetre);
    image.setDotsPerMeterY(kTextDotsPerMetre);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QPoint(0, metrics.ascent()), text);
    painter.end();
    return coverageOf(image);
}

void EditPicturePage::applyText()
{
    const QString text = ui_->textEdit->text();
    if (text.trimmed().isEmpty()) {
        showMessage(this, kStrEnterText);
        return;
    }
    if (history_.count() == 0)
        return;
    auto mask = std::make_shared<const CoverageMask>(renderText(text));
    edit(TextEdit{std::move(mask), textPosition_.x(), textPosition_.y(), paintColourOf(ui_->textColour->colour())});
}

void EditPicturePage::applyFrame(int row)
{
    if (row < 0 || std::size_t(row) >= frames_.size())
        return;
    edit(OverlayEdit{frames_[std::size_t(row)].picture, 0, 0, true});
}

void EditPicturePage::placeStamp(int row, QPoint centre)
{
    if (row < 0 || std::size_t(row) >= stamps_.size())
        return;
    const auto& stamp = stamps_[std::size_t(row)].picture;
    edit(OverlayEdit{stamp, centre.x() - int(stamp->width() / 2), centre.y() - int(stamp->height() / 2), false});
}

void EditPicturePage::canvasPressed(QPoint point)
{
    if (history_.count() == 0)
        return;
    switch (tool_) {
    case Tool::Pen: {
        PenDraft draft{{PaintPoint{point.x(), point.y()}}, history_.state(current_).picture};
        drawPenStroke(draft.picture, draft.points, ui_->penWidth->value(), paintColourOf(ui_->penColour->colour()));
        penDraft_ = std::move(draft);
        refresh();
        break;
    }
    case Tool::Text:
        textPosition_ = point;
        ui_->canvas->setMarker(textPosition_);
        break;
    case Tool::Stamp: placeStamp(ui_->stampList->currentRow(), point); break;
    case Tool::Frame: break;
    }
}

void EditPicturePage::canvasDragged(QPoint point)
{
    if (!penDraft_)
        return;
    const PaintPoint next{point.x(), point.y()};
    if (next == penDraft_->points.back())
        return;
    // Only the new piece is drawn; the whole stroke is redrawn once, on release, as the edit.
    const PaintPoint piece[] = {penDraft_->points.back(), next};
    drawPenStroke(penDraft_->picture, piece, ui_->penWidth->value(), paintColourOf(ui_->penColour->colour()));
    penDraft_->points.push_back(next);
    refresh();
}

void EditPicturePage::canvasReleased(QPoint point)
{
    if (!penDraft_)
        return;
    canvasDragged(point);
    PenEdit stroke{std::move(penDraft_->points), ui_->penWidth->value(), paintColourOf(ui_->penColour->colour())};
    penDraft_.reset();
    edit(stroke);
}

void EditPicturePage::refresh()
{
    if (history_.count() == 0) {
        ui_->canvas->setImage(QImage());
    } else {
        const PictureEditState& state = history_.state(current_);
        ui_->canvas->setImage(
            imageFromPicture(applyAdjustments(penDraft_ ? penDraft_->picture : state.picture, state.adjustments)));
    }
    ui_->canvas->setZoom(zoom_.at(current_).factor);
    ui_->canvas->setMarker(tool_ == Tool::Text && history_.count() > 0 ? std::optional(textPosition_) : std::nullopt);
    updateCommands();
}

void EditPicturePage::updateCommands()
{
    const bool any = history_.count() > 0;
    const std::initializer_list<QWidget*> editing = {
        ui_->rotateLeftButton, ui_->rotateRightButton, ui_->flipVerticalButton, ui_->flipHorizontalButton,
        ui_->contrastButton,   ui_->hslButton,         ui_->rgbButton,          ui_->fitButton,
        ui_->applyTextButton,  ui_->nextButton};
    for (QWidget* w : editing)
        w->setEnabled(any);
    const ZoomState& zoom = zoom_.at(current_);
    ui_->zoomInButton->setEnabled(any && zoom.zoomInEnabled);
    ui_->zoomOutButton->setEnabled(any && zoom.zoomOutEnabled);
    // The move tool is offered only while the zoomed picture is larger than the view; when
    // it fits again the tool is released.
    const bool exceeds = any && zoomedPictureExceedsView(ui_->canvas->image().width(), ui_->canvas->image().height(),
                                                         zoom.factor, ui_->canvas->width(), ui_->canvas->height());
    if (!exceeds)
        ui_->moveToolButton->setChecked(false);
    ui_->moveToolButton->setEnabled(exceeds);
    ui_->undoButton->setEnabled(history_.canUndo());
    ui_->redoButton->setEnabled(history_.canRedo());
    ui_->applyAllButton->setEnabled(history_.count() > 1);
}

} // namespace orka::ui
