#include "orka/transfer/TransferItems.h"

#include "orka/app/COrkaDoc.h"
#include "orka/app/ItemPictures.h"
#include "orka/picture/JpegCodec.h"
#include "orka/picture/PictureError.h"
#include "orka/picture/PictureFile.h"

#include <cstring>

namespace orka::transfer {
namespace {

constexpr unsigned kStrBadArguments = 61100;
constexpr char kMidiSignature[] = "MThd";

const app::Bitmap& pictureBitmap(const app::GalleryItem& item)
{
    const auto* p = std::get_if<app::PictureContent>(&item.content);
    if (!p)
        throw app::GalleryRefusal(kStrBadArguments);
    return p->bitmap;
}

// Caller photos come as 16-bit pixels of the category's size.
DibPicture decodeCallerPhoto(const Bytes& bytes)
{
    const app::CategoryRow* row = app::findCategoryRow(40000);
    const auto width = std::uint32_t(row->widthLimit), height = std::uint32_t(row->heightLimit);
    if (bytes.size() != std::size_t(width) * height * 2)
        throw PictureError(PictureMessage::BadFormat, PictureSource::File);
    DibPicture picture(int(width), int(height), 3);
    const std::uint8_t* in = bytes.data();
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* out = picture.row(y);
        for (std::uint32_t x = 0; x < width; ++x, in += 2, out += 3) {
            const unsigned v = in[0] | (unsigned(in[1]) << 8);
            out[0] = std::uint8_t((v & 0x1F) << 3);
            out[1] = std::uint8_t((v >> 3) & 0xFC);
            out[2] = std::uint8_t((v >> 8) & 0xF8);
        }
    }
    return picture;
}

} // namespace

TransferEntry uploadEntry(const app::GalleryItem& item, int type)
{
    TransferEntry entry;
    switch (type) {
    case 2:
    case 3:
    case 4:
        entry.parts.push_back(uploadBytes(app::pictureFromBitmap(pictureBitmap(item)), type));
        break;
    case 5: {
        const auto* a = std::get_if<app::AnimationContent>(&item.content);
        if (!a)
            throw app::GalleryRefusal(kStrBadArguments);
        for (const auto& frame : a->frames)
            entry.parts.push_back(encodeJpegForUpload(app::pictureFromBitmap(frame.bitmap)));
        break;
    }
    case 7: {
        const auto* m = std::get_if<app::MelodyContent>(&item.content);
        if (!m)
            throw app::GalleryRefusal(kStrBadArguments);
        entry.parts.push_back(m->data);
        break;
    }
    default:
        throw app::GalleryRefusal(kStrBadArguments);
    }
    return entry;
}

app::GalleryItem itemFromDownload(const TransferEntry& entry, int type, unsigned handsetNumber,
                                  const std::string& name)
{
    if (entry.parts.empty())
        throw PictureError(PictureMessage::NoImageData, PictureSource::File);
    app::ItemContent content;
    switch (type) {
    case 2:
        content = app::PictureContent{app::bitmapFromPicture(decodeJpeg(entry.parts[0]))};
        break;
    case 4:
        content = app::PictureContent{app::bitmapFromPicture(decodeCallerPhoto(entry.parts[0]))};
        break;
    case 5: {
        app::AnimationContent a;
        for (const auto& part : entry.parts)
            a.frames.push_back({kDownloadedFrameValue, app::bitmapFromPicture(decodeJpeg(part))});
        content = std::move(a);
        break;
    }
    case 7: {
        const Bytes& tune = entry.parts[0];
        const bool midi = tune.size() >= 4 && std::memcmp(tune.data(), kMidiSignature, 4) == 0;
        content = app::MelodyContent{midi ? app::MelodyContent::kMidi : app::MelodyContent::kSmaf, tune};
        break;
    }
    default:
        throw app::GalleryRefusal(kStrBadArguments);
    }
    app::GalleryItem item = app::GalleryItem::make(name, std::move(content));
    item.handsetNumber = std::int32_t(handsetNumber);
    return item;
}

} // namespace orka::transfer
