#pragma once
// Pictures of the model as images the widgets draw.
#include "orka/picture/DibPicture.h"

#include <QImage>
#include <QSize>

namespace orka::picture::ui {

// A copy of the picture's pixels (palette pictures through their palette; the mask is not
// used). An empty picture gives a null image.
QImage imageFromPicture(const DibPicture& picture);

// A thumbnail of the picture, its shape kept, inside `box`.
QImage thumbnailOf(const DibPicture& picture, QSize box);

} // namespace orka::picture::ui
