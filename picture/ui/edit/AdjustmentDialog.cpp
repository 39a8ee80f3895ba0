#include "AdjustmentDialog.h"

#include "PictureImage.h"

#include "orka/picture/PaintTools.h"

#include <QLabel>
#include <QScrollBar>

#include <algorithm>

namespace orka::ui {

namespace {

constexpr int kPreviewSide = 160;

// The picture reduced (never enlarged) to fit the preview square, keeping its shape.
DibPicture previewOf(const DibPicture& picture)
{
    if (picture.empty())
        return picture;
    const double scale =
        std::min({1.0, double(kPreviewSide) / picture.width(), double(kPreviewSide) / picture.height()});
    if (scale >= 1.0)
        return picture.bytesPerPixel() == 3 ? picture : picture.toRgb();
    return resizedNearest(picture, std::max(1, int(picture.width() * scale)),
                          std::max(1, int(picture.height() * scale)));
}

AdjustmentScrollBar::Action actionOf(int sliderAction)
{
    switch (sliderAction) {
    case QAbstractSlider::SliderSingleStepAdd: return AdjustmentScrollBar::Action::LineDown;
    case QAbstractSlider::SliderSingleStepSub: return AdjustmentScrollBar::Action::LineUp;
    case QAbstractSlider::SliderPageStepAdd: return AdjustmentScrollBar::Action::PageDown;
    case QAbstractSlider::SliderPageStepSub: return AdjustmentScrollBar::Action::PageUp;
    default: return AdjustmentScrollBar::Action::Thumb;
    }
}

} // namespace

AdjustmentDialog::AdjustmentDialog(const DibPicture& unadjusted, const PictureAdjustments& current,
                                   QWidget* parent)
    : QDialog(parent), preview_(previewOf(unadjusted)), adjustments_(current)
{
}

void AdjustmentDialog::setPreviews(QLabel* before, QLabel* after)
{
    after_ = after;
    // Both panes show the picture's own pixels; the after pane adds this dialog's values
    // to the settings the picture already has.
    before->setPixmap(QPixmap::fromImage(imageFromPicture(preview_)));
    before->setMinimumSize(kPreviewSide, kPreviewSide);
    after->setMinimumSize(kPreviewSide, kPreviewSide);
    positionsChanged();
}

void AdjustmentDialog::bind(QScrollBar* bar, QLabel* number, const AdjustmentScrollBar& rule, int position)
{
    bar->setRange(rule.minimum, rule.maximum);
    bar->setSingleStep(rule.line);
    bar->setPageStep(rule.page);
    bar->setTracking(true);
    bar->setValue(std::clamp(position, rule.minimum, rule.maximum));
    number->setNum(bar->value());
    // Qt moves the thumb first and reports the action; our rule then decides where it ends
    // (a page step that would pass the end is not taken at all).
    connect(bar, &QAbstractSlider::actionTriggered, this, [bar, rule](int action) {
        if (action == QAbstractSlider::SliderNoAction || action == QAbstractSlider::SliderToMinimum ||
            action == QAbstractSlider::SliderToMaximum)
            return;
        bar->setSliderPosition(rule.apply(bar->value(), actionOf(action), bar->sliderPosition()));
    });
    connect(bar, &QAbstractSlider::valueChanged, this, [this, number](int value) {
        number->setNum(value);
        positionsChanged();
    });
}

void AdjustmentDialog::positionsChanged()
{
    storePositions(adjustments_);
    if (after_)
        after_->setPixmap(QPixmap::fromImage(imageFromPicture(applyAdjustments(preview_, adjustments_))));
}

} // namespace orka::ui
