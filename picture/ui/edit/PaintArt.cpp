#include "PaintArt.h"

#include "PictureImage.h"

#include "orka/picture/BmpCodec.h"
#include "orka/picture/PaintTools.h"

#include <QBitmap>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <span>

// The bitmaps are compiled into this static library; its resources are registered on first use.
static void registerPaintArt()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(picedit);
        return true;
    }();
    (void)registered;
}

namespace orka::ui {

namespace {

std::vector<PaintArtPiece> loadFolder(const QString& folder)
{
    registerPaintArt();
    std::vector<PaintArtPiece> pieces;
    const QDir dir(folder);
    for (const QString& entry : dir.entryList({QStringLiteral("*.bmp")}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(entry));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        auto picture = std::make_shared<const DibPicture>(decodeBmp(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()))));
        QPixmap thumbnail = QPixmap::fromImage(imageFromPicture(*picture));
        const QColor key(kTransparentKey.red, kTransparentKey.green, kTransparentKey.blue);
        thumbnail.setMask(thumbnail.createMaskFromColor(key, Qt::MaskInColor));
        pieces.push_back(PaintArtPiece{QFileInfo(entry).completeBaseName(), std::move(picture), thumbnail});
    }
    return pieces;
}

} // namespace

std::vector<PaintArtPiece> loadFrames() { return loadFolder(QStringLiteral(":/orka/picedit/frames")); }
std::vector<PaintArtPiece> loadStamps() { return loadFolder(QStringLiteral(":/orka/picedit/stamps")); }

} // namespace orka::ui
