#pragma once
// The three colour dialogs of the edit page: red/green/blue offsets; hue, saturation and
// lightness; contrast and brightness.
#include "AdjustmentDialog.h"

#include <memory>

namespace Ui {
class RgbDialog;
class HslDialog;
class ContrastDialog;
} // namespace Ui

namespace orka::ui {

class RgbDialog : public AdjustmentDialog {
    Q_OBJECT
public:
    // Offsets -255 to 255, shown as they are.
    static constexpr AdjustmentScrollBar kOffsetBar{-255, 255, 1, 16};

    RgbDialog(const DibPicture& unadjusted, const PictureAdjustments& current, QWidget* parent = nullptr);
    ~RgbDialog() override;

protected:
    void storePositions(PictureAdjustments& adjustments) const override;

private:
    std::unique_ptr<Ui::RgbDialog> ui_;
};

class HslDialog : public AdjustmentDialog {
    Q_OBJECT
public:
    // Hue in degrees; saturation and lightness in hundredths.
    static constexpr AdjustmentScrollBar kHueBar{-180, 180, 1, 10};
    static constexpr AdjustmentScrollBar kSaturationBar{-100, 100, 1, 10};
    static constexpr AdjustmentScrollBar kLightnessBar{-200, 200, 1, 10};

    HslDialog(const DibPicture& unadjusted, const PictureAdjustments& current, QWidget* parent = nullptr);
    ~HslDialog() override;

protected:
    void storePositions(PictureAdjustments& adjustments) const override;

private:
    std::unique_ptr<Ui::HslDialog> ui_;
};

class ContrastDialog : public AdjustmentDialog {
    Q_OBJECT
public:
    // Contrast and brightness in hundredths, arrows by 1, a page by 5.
    static constexpr AdjustmentScrollBar kContrastBar{-100, 100, 1, 5};
    static constexpr AdjustmentScrollBar kBrightnessBar{-100, 100, 1, 5};

    ContrastDialog(const DibPicture& unadjusted, const PictureAdjustments& current, QWidget* parent = nullptr);
    ~ContrastDialog() override;

protected:
    void storePositions(PictureAdjustments& adjustments) const override;

private:
    std::unique_ptr<Ui::ContrastDialog> ui_;
};

} // namespace orka::ui
