#include "ColourButton.h"

#include <QColorDialog>
#include <QPixmap>

namespace orka::ui {

namespace {
constexpr int kSwatchSize = 16;
}

ColourButton::ColourButton(QWidget* parent) : QToolButton(parent)
{
    setIconSize(QSize(kSwatchSize, kSwatchSize));
    setColour(colour_);
    connect(this, &QToolButton::clicked, this, &ColourButton::choose);
}

void ColourButton::setColour(const QColor& colour)
{
    if (!colour.isValid())
        return;
    const bool changed = colour != colour_;
    colour_ = colour;
    QPixmap swatch(kSwatchSize, kSwatchSize);
    swatch.fill(colour_);
    setIcon(QIcon(swatch));
    setToolTip(colour_.name());
    if (changed)
        Q_EMIT colourChanged(colour_);
}

void ColourButton::choose()
{
    // A colour picker is a chooser of its own kind, not a message or file prompt.
    const QColor picked = QColorDialog::getColor(colour_, this, accessibleName());
    setColour(picked);
}

} // namespace orka::ui
