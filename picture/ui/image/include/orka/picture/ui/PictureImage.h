#pragma once
// Pictures of the model as images the widgets draw, and images back as pictures.
#include "orka/picture/DibPicture.h"

#include <QImage>
#include <QSize>

namespace orka::picture::ui {

// A 32-bit copy of the picture's pixels (palette pictures through their palette; the mask is
// not used). An empty picture gives a null image.
QImage imageFromPicture(const DibPicture& picture);
// A 3-byte picture of the image's colours (alpha is dropped); a null image gives an empty one.
DibPicture pictureFromImage(const QImage& image);
// A thumbnail of the picture, its shape kept, inside `box`.
QImage thumbnailOf(const DibPicture& picture, QSize box);

} // namespace orka::picture::ui
