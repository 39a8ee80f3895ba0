#pragma once
// Crossings between the picture core and Qt's images.
#include "orka/picture/DibPicture.h"
#include "orka/picture/PaintTools.h"

#include <QColor>
#include <QImage>

namespace orka::ui {

// A 32-bit copy of a picture for drawing (palette pictures through their palette).
QImage toQImage(const DibPicture& picture);
// A 3-byte picture of the image's colours (alpha is dropped).
DibPicture fromQImage(const QImage& image);
// How much of each pixel the image's alpha covers.
CoverageMask coverageOf(const QImage& image);

inline PaintColour paintColourOf(const QColor& colour)
{
    return PaintColour{std::uint8_t(colour.red()), std::uint8_t(colour.green()), std::uint8_t(colour.blue())};
}

} // namespace orka::ui
