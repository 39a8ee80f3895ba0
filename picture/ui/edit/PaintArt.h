#pragma once
// The frames and stamps the paint tools offer, drawn by us and built into the program as
// bitmaps whose magenta pixels are transparent.
#include "orka/picture/DibPicture.h"

#include <QPixmap>
#include <QString>

#include <memory>
#include <vector>

namespace orka::ui {

struct PaintArtPiece {
    QString name;                            // the file's base name
    std::shared_ptr<const DibPicture> picture;
    QPixmap thumbnail;                       // magenta shown as see-through
};

// Frames are laid over the whole picture; stamps are placed where the user clicks.
std::vector<PaintArtPiece> loadFrames();
std::vector<PaintArtPiece> loadStamps();

} // namespace orka::ui
