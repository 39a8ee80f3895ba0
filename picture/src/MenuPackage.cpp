#include "orka/picture/MenuPackage.h"

#include "orka/picture/PictureError.h"
#include "orka/picture/PictureFile.h"

namespace orka {

MenuPackage readMenuPackage(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        throw PictureError(PictureMessage::NoImageData, PictureSource::Package);
    if (bytes.size() < kMenuPackageDataOffset)
        throw PictureError(PictureMessage::BadFormat, PictureSource::Package);
    MenuPackage package;
    const std::string header(reinterpret_cast<const char*>(bytes.data()), kMenuPackageHeaderSize);
    if (const auto bracket = header.rfind('['); bracket != std::string::npos)
        package.keptCharacters = header.substr(bracket + 1, 2);
    std::size_t offset = kMenuPackageDataOffset;
    package.pictures.reserve(kMenuPackagePictures);
    for (std::size_t i = 0; i < kMenuPackagePictures; ++i) {
        const std::uint8_t* entry = bytes.data() + kMenuPackageHeaderSize + 4 * i;
        const std::size_t size = menuPackageEntrySize(entry[0], entry[1], entry[2], entry[3]);
        if (size > bytes.size() - offset)
            throw PictureError(PictureMessage::BadFormat, PictureSource::Package);
        package.pictures.emplace_back(bytes.begin() + std::ptrdiff_t(offset),
                                      bytes.begin() + std::ptrdiff_t(offset + size));
        offset += size;
    }
    return package;
}

MenuPackage readMenuPackageFile(const std::filesystem::path& file)
{
    return readMenuPackage(readPictureFile(file));
}

DibPicture decodeMenuPicture(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        throw PictureError(PictureMessage::NoImageData, PictureSource::Package);
    const auto format = formatForBytes(bytes);
    if (!format)
        throw PictureError(PictureMessage::Unsupported, PictureSource::Package);
    return decodePicture(bytes, *format);
}

std::vector<DibPicture> decodeMenuPackage(const MenuPackage& package)
{
    std::vector<DibPicture> pictures;
    pictures.reserve(package.pictures.size());
    for (const auto& bytes : package.pictures)
        pictures.push_back(decodeMenuPicture(bytes));
    return pictures;
}

} // namespace orka
