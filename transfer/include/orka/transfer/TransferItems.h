#pragma once
// Gallery items as the handset takes them and back: the bytes of each store type.
//   2, 3  wallpaper, main-menu picture: JPEG at quality 85
//   4     caller photo: 16-bit pixels, low byte first, no header
//   5     animation: one JPEG (quality 85) per frame, frames as parts 1 to 5
//   7     ring tone: the tune file as it is (a Standard MIDI File or SMAF)
#include "orka/app/GalleryModel.h"
#include "orka/transfer/TransferJob.h"

#include <string>

namespace orka::transfer {

inline constexpr std::uint8_t kDownloadedFrameValue = 10; // a frame shown for 100 ms

// The entry an upload of the item sends as store type `type`. Raises PictureError or
// GalleryRefusal when the item cannot be sent as that type.
TransferEntry uploadEntry(const app::GalleryItem& item, int type);

// A downloaded entry as an item of the category of store type `type`, named `name`, with its
// handset number. Raises PictureError when the bytes are no picture of that type.
app::GalleryItem itemFromDownload(const TransferEntry& entry, int type, unsigned handsetNumber,
                                  const std::string& name);

} // namespace orka::transfer
