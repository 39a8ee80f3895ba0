#pragma once
// Item bitmaps to and from the picture model, so that items can be drawn, edited and sent.
#include "orka/app/GalleryModel.h"
#include "orka/picture/DibPicture.h"

namespace orka::app {

// The largest side an item bitmap can keep (its size fields are one byte each).
inline constexpr std::uint32_t kMaxBitmapSide = 255;

// A 3-byte copy of the picture (palette pictures through their palette). Raises
// GalleryRefusal(61100) for a side above kMaxBitmapSide.
Bitmap bitmapFromPicture(const DibPicture& picture);
// The item's pixels in a picture of the model's own row padding.
DibPicture pictureFromBitmap(const Bitmap& bitmap);

} // namespace orka::app
