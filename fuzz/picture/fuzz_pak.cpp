// Main-menu packages: the size table over arbitrary bytes and each picture decoded.
#include "FuzzLimits.h"
#include "orka/picture/MenuPackage.h"
#include "orka/picture/PictureError.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace orka;
    try {
        const MenuPackage package = readMenuPackage(std::span<const std::uint8_t>(data, size));
        if (package.pictures.size() != kMenuPackagePictures || package.keptCharacters.size() > 2)
            std::abort();
        for (const auto& picture : package.pictures) {
            const auto format = formatForBytes(picture);
            if (format && !fuzz::smallEnough(picture, *format))
                continue;
            try {
                decodeMenuPicture(picture);
            } catch (const PictureError&) {
            }
        }
    } catch (const PictureError&) {
    }
    return 0;
}
