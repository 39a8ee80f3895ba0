#include "orka/picture/JpegCodec.h"

#include "orka/picture/PictureError.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace orka {

namespace {

// The library reports errors through error_exit, which must not return; we jump back to
// the codec call, which then raises a PictureError from ordinary C++ code.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    int code;
    bool dataCutShort; // the compressed data ended before the picture did
};

extern "C" void onJpegError(j_common_ptr cinfo)
{
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    manager->code = manager->base.msg_code;
    std::longjmp(manager->jump, 1);
}

extern "C" void onJpegMessage(j_common_ptr) {}

// The library only warns when the compressed data ends inside the picture and fills the rest
// with grey; such a file is broken, so the warning is kept to refuse it once the read ends.
// A file that lacks only its closing marker never makes the decoder miss data and stays readable.
extern "C" void onJpegWarning(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    ++manager->base.num_warnings;
    if (manager->base.msg_code == JWRN_HIT_MARKER)
        manager->dataCutShort = true;
}

PictureMessage messageForLibraryError(int code)
{
    switch (code) {
    case JERR_OUT_OF_MEMORY:
        return PictureMessage::OutOfMemory;
    case JERR_CONVERSION_NOTIMPL:
    case JERR_NOT_COMPILED:
    case JERR_BAD_PRECISION:
    case JERR_NOTIMPL:
        return PictureMessage::Unsupported;
    default:
        return PictureMessage::BadFormat;
    }
}

// Memory source: the whole file is one buffer; reading past its end yields an end-of-image
// marker so a truncated file ends the read instead of hanging it (and is then refused).
struct MemorySource {
    jpeg_source_mgr base;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

extern "C" void sourceInit(j_decompress_ptr) {}
extern "C" boolean sourceFill(j_decompress_ptr cinfo)
{
    WARNMS(cinfo, JWRN_JPEG_EOF);
    cinfo->src->next_input_byte = kEndOfImage;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}
extern "C" void sourceSkip(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    auto* src = cinfo->src;
    while (std::size_t(count) > src->bytes_in_buffer) {
        count -= long(src->bytes_in_buffer);
        sourceFill(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= std::size_t(count);
}
extern "C" void sourceTerm(j_decompress_ptr) {}

// Memory destination growing by 1024 bytes whenever the library fills it.
constexpr std::size_t kGrowStep = 1024;
struct MemoryDestination {
    jpeg_destination_mgr base;
    std::vector<std::uint8_t>* out;
};

extern "C" void destinationInit(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    dest->out->resize(kGrowStep);
    dest->base.next_output_byte = dest->out->data();
    dest->base.free_in_buffer = dest->out->size();
}
extern "C" boolean destinationEmpty(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    const std::size_t used = dest->out->size();
    bool grown = true;
    try {
        dest->out->resize(used + kGrowStep);
    } catch (...) {
        grown = false;
    }
    if (!grown)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    dest->base.next_output_byte = dest->out->data() + used;
    dest->base.free_in_buffer = kGrowStep;
    return TRUE;
}
extern "C" void destinationTerm(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    dest->out->resize(dest->out->size() - dest->base.free_in_buffer);
}

struct DecodeState {
    jpeg_decompress_struct cinfo{};
    ErrorManager error{};
    MemorySource source{};
    bool created = false;
    ~DecodeState()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
};

struct EncodeState {
    jpeg_compress_struct cinfo{};
    ErrorManager error{};
    MemoryDestination destination{};
    bool created = false;
    ~EncodeState()
    {
        if (created)
            jpeg_destroy_compress(&cinfo);
    }
};

// Keeps a hostile file from making the library ask for gigabytes of work memory.
constexpr long kMaxLibraryMemory = 512L * 1024 * 1024;

// Runs `body` so that a library error, which jumps back here, comes out as false. Bodies
// hold no objects with destructors of their own: everything lives in the caller's state.
bool runGuarded(std::jmp_buf& jump, void (*body)(void*), void* context)
{
    void (*volatile call)(void*) = body;
    void* volatile argument = context;
    if (setjmp(jump))
        return false;
    call(argument);
    return true;
}

struct DecodeJob {
    DecodeState* state;
    std::span<const std::uint8_t> bytes;
    DibPicture* picture;
    std::vector<std::uint8_t>* scanline;
};

void decodeBody(void* context)
{
    auto* job = static_cast<DecodeJob*>(context);
    jpeg_decompress_struct* cinfo = &job->state->cinfo;
    jpeg_create_decompress(cinfo);
    job->state->created = true;
    cinfo->mem->max_memory_to_use = kMaxLibraryMemory;
    MemorySource& source = job->state->source;
    source.base.init_source = sourceInit;
    source.base.fill_input_buffer = sourceFill;
    source.base.skip_input_data = sourceSkip;
    source.base.resync_to_restart = jpeg_resync_to_restart;
    source.base.term_source = sourceTerm;
    source.base.next_input_byte = job->bytes.data();
    source.base.bytes_in_buffer = job->bytes.size();
    cinfo->src = &source.base;
    jpeg_read_header(cinfo, TRUE);
    if (cinfo->image_width == 0 || cinfo->image_height == 0)
        throw PictureError(PictureMessage::NoImageData, PictureSource::Jpeg);
    if (!pictureSizeSupported(cinfo->image_width, cinfo->image_height))
        throw PictureError(PictureMessage::Unsupported, PictureSource::Jpeg);
    // Print-ready files come as CMYK, which the library cannot turn into RGB itself; those
    // are read as CMYK and converted here (Adobe's writers store the values inverted).
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    const bool inverted = cmyk && cinfo->saw_Adobe_marker;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    cinfo->dct_method = JDCT_IFAST;
    cinfo->do_fancy_upsampling = FALSE;
    cinfo->do_block_smoothing = FALSE;
    jpeg_start_decompress(cinfo);
    const int components = cinfo->output_components;
    if (components != (cmyk ? 4 : 3))
        throw PictureError(PictureMessage::Unsupported, PictureSource::Jpeg);
    job->picture->create(int(cinfo->output_width), int(cinfo->output_height), 3, false);
    job->scanline->resize(std::size_t(cinfo->output_width) * std::size_t(components));
    std::uint8_t* line = job->scanline->data();
    while (cinfo->output_scanline < cinfo->output_height) {
        const JDIMENSION y = cinfo->output_scanline;
        JSAMPROW rowPointer = line;
        if (jpeg_read_scanlines(cinfo, &rowPointer, 1) != 1)
            break;
        std::uint8_t* out = job->picture->row(y);
        if (!cmyk) {
            for (JDIMENSION x = 0; x < cinfo->output_width; ++x) {
                out[3 * x] = line[3 * x + 2];
                out[3 * x + 1] = line[3 * x + 1];
                out[3 * x + 2] = line[3 * x];
            }
            continue;
        }
        for (JDIMENSION x = 0; x < cinfo->output_width; ++x) {
            const std::uint8_t* p = line + 4 * x;
            unsigned c = p[0], m = p[1], ye = p[2], k = p[3];
            if (!inverted) {
                c = 255 - c;
                m = 255 - m;
                ye = 255 - ye;
                k = 255 - k;
            }
            out[3 * x] = std::uint8_t((ye * k + 127) / 255);
            out[3 * x + 1] = std::uint8_t((m * k + 127) / 255);
            out[3 * x + 2] = std::uint8_t((c * k + 127) / 255);
        }
    }
    jpeg_finish_decompress(cinfo);
}

struct EncodeJob {
    EncodeState* state;
    const DibPicture* picture;
    JpegWriterSettings settings;
    std::vector<std::uint8_t>* out;
    std::vector<std::uint8_t>* scanline;
};

void encodeBody(void* context)
{
    auto* job = static_cast<EncodeJob*>(context);
    jpeg_compress_struct* cinfo = &job->state->cinfo;
    jpeg_create_compress(cinfo);
    job->state->created = true;
    MemoryDestination& destination = job->state->destination;
    destination.base.init_destination = destinationInit;
    destination.base.empty_output_buffer = destinationEmpty;
    destination.base.term_destination = destinationTerm;
    destination.out = job->out;
    cinfo->dest = &destination.base;
    const DibPicture& picture = *job->picture;
    cinfo->image_width = picture.width();
    cinfo->image_height = picture.height();
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, effectiveJpegQuality(job->settings.quality), FALSE);
    cinfo->density_unit = job->settings.densityUnit;
    cinfo->X_density = job->settings.xDensity;
    cinfo->Y_density = job->settings.yDensity;
    jpeg_start_compress(cinfo, TRUE);
    std::uint8_t* line = job->scanline->data();
    while (cinfo->next_scanline < cinfo->image_height) {
        const std::uint8_t* in = picture.row(cinfo->next_scanline);
        for (std::uint32_t x = 0; x < picture.width(); ++x) {
            line[3 * x] = in[3 * x + 2];
            line[3 * x + 1] = in[3 * x + 1];
            line[3 * x + 2] = in[3 * x];
        }
        JSAMPROW rowPointer = line;
        jpeg_write_scanlines(cinfo, &rowPointer, 1);
    }
    jpeg_finish_compress(cinfo);
}

void installErrorManager(jpeg_common_struct* cinfo, ErrorManager& error)
{
    cinfo->err = jpeg_std_error(&error.base);
    error.base.error_exit = onJpegError;
    error.base.output_message = onJpegMessage;
    error.base.emit_message = onJpegWarning;
}

} // namespace

DibPicture decodeJpeg(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        throw PictureError(PictureMessage::NoImageData, PictureSource::Jpeg);
    auto state = std::make_unique<DecodeState>();
    DibPicture picture;
    std::vector<std::uint8_t> scanline;
    installErrorManager(reinterpret_cast<jpeg_common_struct*>(&state->cinfo), state->error);
    DecodeJob job{state.get(), bytes, &picture, &scanline};
    if (!runGuarded(state->error.jump, decodeBody, &job))
        throw PictureError(messageForLibraryError(state->error.code), PictureSource::Jpeg);
    if (state->error.dataCutShort)
        throw PictureError(PictureMessage::BadFormat, PictureSource::Jpeg);
    return picture;
}

std::vector<std::uint8_t> encodeJpeg(const DibPicture& source, const JpegWriterSettings& settings)
{
    if (source.empty())
        throw PictureError(PictureMessage::BadArguments, PictureSource::Jpeg);
    const DibPicture rgb = source.bytesPerPixel() == 3 ? DibPicture() : source.toRgb();
    const DibPicture& picture = source.bytesPerPixel() == 3 ? source : rgb;
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> scanline(std::size_t(picture.width()) * 3);
    auto state = std::make_unique<EncodeState>();
    installErrorManager(reinterpret_cast<jpeg_common_struct*>(&state->cinfo), state->error);
    EncodeJob job{state.get(), &picture, settings, &out, &scanline};
    if (!runGuarded(state->error.jump, encodeBody, &job))
        throw PictureError(messageForLibraryError(state->error.code), PictureSource::Jpeg);
    return out;
}

std::vector<std::uint8_t> encodeJpegForUpload(const DibPicture& picture)
{
    JpegWriterSettings settings;
    settings.quality = kUploadJpegQuality;
    return encodeJpeg(picture, settings);
}

} // namespace orka
