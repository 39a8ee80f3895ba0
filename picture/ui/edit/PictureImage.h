#pragma once
// The paint tools' crossings with Qt: text and art coverage, colours.
#include "orka/picture/DibPicture.h"
#include "orka/picture/PaintTools.h"
#include "orka/picture/ui/PictureImage.h"

#include <QColor>
#include <QImage>

namespace orka::ui {

using picture::ui::imageFromPicture;
using picture::ui::pictureFromImage;
// How much of each pixel the image's alpha covers.
CoverageMask coverageOf(const QImage& image);

inline PaintColour paintColourOf(const QColor& colour)
{
    return PaintColour{std::uint8_t(colour.red()), std::uint8_t(colour.green()), std::uint8_t(colour.blue())};
}

} // namespace orka::ui
