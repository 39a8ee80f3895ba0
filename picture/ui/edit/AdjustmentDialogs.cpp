#include "AdjustmentDialogs.h"

#include "ui_ContrastDialog.h"
#include "ui_HslDialog.h"
#include "ui_RgbDialog.h"

#include <cmath>

namespace orka::ui {

RgbDialog::RgbDialog(const DibPicture& unadjusted, const PictureAdjustments& current, QWidget* parent)
    : AdjustmentDialog(unadjusted, current, parent), ui_(std::make_unique<Ui::RgbDialog>())
{
    ui_->setupUi(this);
    bind(ui_->redBar, ui_->redNumber, kOffsetBar, current.redOffset);
    bind(ui_->greenBar, ui_->greenNumber, kOffsetBar, current.greenOffset);
    bind(ui_->blueBar, ui_->blueNumber, kOffsetBar, current.blueOffset);
    setPreviews(ui_->beforeView, ui_->afterView);
}

RgbDialog::~RgbDialog() = default;

void RgbDialog::storePositions(PictureAdjustments& adjustments) const
{
    adjustments.redOffset = ui_->redBar->value();
    adjustments.greenOffset = ui_->greenBar->value();
    adjustments.blueOffset = ui_->blueBar->value();
}

HslDialog::HslDialog(const DibPicture& unadjusted, const PictureAdjustments& current, QWidget* parent)
    : AdjustmentDialog(unadjusted, current, parent), ui_(std::make_unique<Ui::HslDialog>())
{
    ui_->setupUi(this);
    bind(ui_->hueBar, ui_->hueNumber, kHueBar, int(std::lround(current.hueShift)));
    bind(ui_->saturationBar, ui_->saturationNumber, kSaturationBar, current.saturationPosition());
    bind(ui_->lightnessBar, ui_->lightnessNumber, kLightnessBar, current.lightnessPosition());
    setPreviews(ui_->beforeView, ui_->afterView);
}

HslDialog::~HslDialog() = default;

void HslDialog::storePositions(PictureAdjustments& adjustments) const
{
    adjustments.setHslPositions(ui_->hueBar->value(), ui_->saturationBar->value(), ui_->lightnessBar->value());
}

ContrastDialog::ContrastDialog(const DibPicture& unadjusted, const PictureAdjustments& current, QWidget* parent)
    : AdjustmentDialog(unadjusted, current, parent), ui_(std::make_unique<Ui::ContrastDialog>())
{
    ui_->setupUi(this);
    bind(ui_->contrastBar, ui_->contrastNumber, kContrastBar, current.contrastPosition());
    bind(ui_->brightnessBar, ui_->brightnessNumber, kBrightnessBar, current.brightnessPosition());
    setPreviews(ui_->beforeView, ui_->afterView);
}

ContrastDialog::~ContrastDialog() = default;

void ContrastDialog::storePositions(PictureAdjustments& adjustments) const
{
    adjustments.setContrastPositions(ui_->contrastBar->value(), ui_->brightnessBar->value());
}

} // namespace orka::ui
