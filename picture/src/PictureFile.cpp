#include "orka/picture/PictureFile.h"

#include "orka/picture/BmpCodec.h"
#include "orka/picture/GifCodec.h"
#include "orka/picture/PictureError.h"
#include "orka/common/ByteOrder.h"
#include "orka/platform/StatePaths.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <string>

namespace orka {

namespace {

// No picture the handset or the editor deals with comes near this; larger files are refused
// before they are read into memory.
constexpr std::uintmax_t kMaxFileSize = 256u * 1024 * 1024;

std::string lowerExtension(const std::filesystem::path& file)
{
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

const char* extensionFor(SaveKind kind)
{
    switch (kind) {
    case SaveKind::Bmp: return ".bmp";
    case SaveKind::Jpeg: return ".jpg";
    case SaveKind::Gif: return ".gif";
    }
    return ".bmp";
}

DibPicture decodeUnguarded(std::span<const std::uint8_t> bytes, PictureFormat format, bool keepPalette);
std::vector<std::uint8_t> encodeUnguarded(const DibPicture& picture, PictureFormat format, const JpegWriterSettings& jpeg);

} // namespace

std::optional<PictureFormat> formatForFileName(const std::filesystem::path& file)
{
    const std::string ext = lowerExtension(file);
    if (ext == ".bmp")
        return PictureFormat::Bmp;
    if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe")
        return PictureFormat::Jpeg;
    if (ext == ".gif")
        return PictureFormat::Gif;
    return std::nullopt;
}

std::optional<PictureFormat> formatForBytes(std::span<const std::uint8_t> b)
{
    if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M')
        return PictureFormat::Bmp;
    if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xD8)
        return PictureFormat::Jpeg;
    if (b.size() >= 4 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F' && b[3] == '8')
        return PictureFormat::Gif;
    return std::nullopt;
}

std::vector<std::uint8_t> readPictureFile(const std::filesystem::path& file)
{
    if (file.empty())
        throw PictureError(PictureMessage::BadArguments, PictureSource::File);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec)
        throw PictureError(PictureMessage::OpenFailed, PictureSource::File, file.string());
    if (size > kMaxFileSize)
        throw PictureError(PictureMessage::Unsupported, PictureSource::File);
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw PictureError(PictureMessage::OpenFailed, PictureSource::File, file.string());
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!bytes.empty() && !in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size())))
        throw PictureError(PictureMessage::OpenFailed, PictureSource::File, file.string());
    return bytes;
}

DibPicture decodePicture(std::span<const std::uint8_t> bytes, PictureFormat format, bool keepPalette)
{
    return guardMemory(PictureSource::File, [&] { return decodeUnguarded(bytes, format, keepPalette); });
}

std::vector<std::uint8_t> encodePicture(const DibPicture& picture, PictureFormat format, const JpegWriterSettings& jpeg)
{
    return guardMemory(PictureSource::File, [&] { return encodeUnguarded(picture, format, jpeg); });
}

namespace {

DibPicture decodeUnguarded(std::span<const std::uint8_t> bytes, PictureFormat format, bool keepPalette)
{
    switch (format) {
    case PictureFormat::Bmp:
        return decodeBmp(bytes, keepPalette);
    case PictureFormat::Jpeg:
        return decodeJpeg(bytes);
    case PictureFormat::Gif: {
        GifAnimationReader reader(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        if (keepPalette)
            return reader.decodeFrameIndexed(0);
        return reader.decodeFrame(0);
    }
    }
    throw PictureError(PictureMessage::Unsupported, PictureSource::File);
}

std::vector<std::uint8_t> encodeUnguarded(const DibPicture& picture, PictureFormat format, const JpegWriterSettings& jpeg)
{
    switch (format) {
    case PictureFormat::Bmp: return encodeBmp(picture);
    case PictureFormat::Jpeg: return encodeJpeg(picture, jpeg);
    case PictureFormat::Gif: return encodeGif(picture);
    }
    throw PictureError(PictureMessage::Unsupported, PictureSource::File);
}

} // namespace

DibPicture loadPicture(const std::filesystem::path& file, bool keepPalette)
{
    if (file.empty())
        throw PictureError(PictureMessage::BadArguments, PictureSource::File);
    const auto format = formatForFileName(file);
    if (!format)
        throw PictureError(PictureMessage::Unsupported, PictureSource::File);
    const std::vector<std::uint8_t> bytes = readPictureFile(file);
    return decodePicture(bytes, *format, keepPalette);
}


void writePictureFile(const std::filesystem::path& file, std::span<const std::uint8_t> bytes)
{
    if (file.empty())
        throw PictureError(PictureMessage::BadArguments, PictureSource::File);
    if (!platform::writeFileAtomically(file, bytes.data(), bytes.size()))
        throw PictureError(PictureMessage::WriteFailed, PictureSource::File, file.string());
}

std::filesystem::path savePicture(const DibPicture& picture, const std::filesystem::path& name, SaveKind kind,
                                  const JpegWriterSettings& jpeg)
{
    if (name.empty())
        throw PictureError(PictureMessage::BadArguments, PictureSource::File);
    const char* ext = extensionFor(kind);
    std::filesystem::path file = name;
    // The kind's extension is appended only when the name does not end in it already, so
    // "name.bmp" is saved as itself rather than as "name.bmp.bmp".
    if (lowerExtension(name) != ext)
        file += ext;
    const PictureFormat format = kind == SaveKind::Bmp ? PictureFormat::Bmp
                                 : kind == SaveKind::Jpeg ? PictureFormat::Jpeg
                                                          : PictureFormat::Gif;
    writePictureFile(file, encodePicture(picture, format, jpeg));
    return file;
}

std::vector<std::uint8_t> callerPhotoBytes(const DibPicture& source)
{
    const DibPicture rgb = source.bytesPerPixel() == 3 ? DibPicture() : source.toRgb();
    const DibPicture& picture = source.bytesPerPixel() == 3 ? source : rgb;
    std::vector<std::uint8_t> out;
    out.reserve(std::size_t(picture.width()) * picture.height() * 2);
    for (std::uint32_t y = 0; y < picture.height(); ++y) {
        const std::uint8_t* p = picture.row(y);
        for (std::uint32_t x = 0; x < picture.width(); ++x, p += 3) {
            const unsigned blue = p[0], green = p[1], red = p[2];
            const unsigned value = (red & 0xF8) * 256 + (green & 0xFC) * 8 + blue / 8;
            common::appendLE16(out, std::uint16_t(value));
        }
    }
    return out;
}

std::vector<std::uint8_t> uploadBytes(const DibPicture& picture, int storeType)
{
    if (picture.empty())
        throw PictureError(PictureMessage::BadArguments, PictureSource::File);
    switch (storeType) {
    case 2:
    case 3:
        return encodeJpegForUpload(picture);
    case 4:
        return callerPhotoBytes(picture);
    default:
        throw PictureError(PictureMessage::BadArguments, PictureSource::File);
    }
}

} // namespace orka
