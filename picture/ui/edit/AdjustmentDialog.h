#pragma once
// What the RGB, HSL and contrast dialogs share: a preview of the picture before and after the
// values on the scroll bars, numbers beside the bars, and the new values handed back only
// when the user presses OK (the caller stores them on `accepted`).
#include "orka/picture/DibPicture.h"
#include "orka/picture/PictureAdjustments.h"

#include <QDialog>

#include <vector>

class QLabel;
class QScrollBar;

namespace orka::ui {

class AdjustmentDialog : public QDialog {
    Q_OBJECT
public:
    // The settings as the bars stand (the dialog's own group changed, the others as given).
    const PictureAdjustments& adjustments() const { return adjustments_; }

protected:
    AdjustmentDialog(const DibPicture& unadjusted, const PictureAdjustments& current, QWidget* parent);

    // Called by each dialog once its widgets exist.
    void setPreviews(QLabel* before, QLabel* after);
    // Sets a bar's range, steps and first position; the number label follows it and every
    // move updates the settings (through storePositions) and the after preview.
    void bind(QScrollBar* bar, QLabel* number, const AdjustmentScrollBar& rule, int position);
    // Reads the bars into the settings of the dialog's group.
    virtual void storePositions(PictureAdjustments& adjustments) const = 0;

private:
    void positionsChanged();

    DibPicture preview_; // the unadjusted picture, reduced to the preview size
    PictureAdjustments adjustments_;
    QLabel* after_ = nullptr;
};

} // namespace orka::ui
