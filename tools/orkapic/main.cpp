// orkapic: the picture codecs, adjustments, frame rules and upload encodings from the
// command line.
#include "orka/cli/CommandLine.h"
#include "orka/picture/Animation.h"
#include "orka/picture/GifCodec.h"
#include "orka/picture/PictureAdjustments.h"
#include "orka/picture/PictureError.h"
#include "orka/picture/PictureFile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

using namespace orka;

namespace {

using orka::cli::Arguments;
using orka::cli::UsageError;

[[noreturn]] void usage(const std::string& text)
{
    throw UsageError(text);
}

const char* kUsage =
    "usage: orkapic info FILE --json\n"
    "       orkapic convert IN OUT [--rotate left|right] [--flip h|v] [--rgb R,G,B] [--hsl H,S,L]\n"
    "                              [--contrast C,B] [--quality Q]\n"
    "       orkapic frames IN.gif --rule first|count|time --json\n"
    "       orkapic upload IN --type 2|3|4 -o OUT\n";

int parseInt(std::string_view text, const char* what)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        usage(std::string("not a number for ") + what + ": " + std::string(text));
    return value;
}

std::vector<int> parseTriple(std::string_view text, std::size_t count, const char* what)
{
    std::vector<int> values;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        values.push_back(parseInt(text.substr(start, comma == std::string_view::npos ? comma : comma - start), what));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (values.size() != count)
        usage(std::string("expected ") + std::to_string(count) + " comma-separated numbers for " + what);
    return values;
}

void checkRange(int value, int low, int high, const char* what)
{
    if (value < low || value > high)
        usage(std::string(what) + " must be from " + std::to_string(low) + " to " + std::to_string(high));
}

std::string jsonArray(const std::vector<int>& values)
{
    std::ostringstream out;
    out << '[';
    for (std::size_t i = 0; i < values.size(); ++i)
        out << (i ? ", " : "") << values[i];
    out << ']';
    return out.str();
}

// The positional arguments of a command: exactly `count` of them, else `missing`.
const std::vector<std::string>& positional(const Arguments& args, std::size_t count, const std::string& missing)
{
    if (args.positional().size() < count)
        usage(missing);
    if (args.positional().size() > count)
        usage("unknown argument: " + args.positional()[count]);
    return args.positional();
}

int runInfo(const Arguments& args)
{
    const std::string& file = positional(args, 1, "info needs a file")[0];
    const auto format = formatForFileName(file);
    if (!format)
        throw PictureError(PictureMessage::Unsupported, PictureSource::File);
    std::uint32_t width = 0, height = 0;
    std::vector<int> delays;
    if (*format == PictureFormat::Gif) {
        GifAnimationReader reader = GifAnimationReader::open(file);
        width = reader.canvasWidth();
        height = reader.canvasHeight();
        for (std::size_t i = 0; i < reader.frameCount(); ++i)
            delays.push_back(reader.frame(i).delay);
    } else {
        const DibPicture picture = loadPicture(file);
        width = picture.width();
        height = picture.height();
        delays.push_back(0);
    }
    std::cout << "{\"width\": " << width << ", \"height\": " << height << ", \"frames\": " << delays.size()
              << ", \"delays\": " << jsonArray(delays) << "}\n";
    return 0;
}

int runConvert(const Arguments& options)
{
    const auto& files = positional(options, 2, "convert needs an input and an output file");
    PictureAdjustments adjustments;
    std::optional<std::string> rotate = options.value("rotate");
    std::optional<std::string> flip = options.value("flip");
    if (rotate && *rotate != "left" && *rotate != "right")
        usage("--rotate takes left or right");
    if (flip && *flip != "h" && *flip != "v")
        usage("--flip takes h or v");
    if (auto rgb = options.value("rgb")) {
        const auto v = parseTriple(*rgb, 3, "--rgb");
        for (int c : v)
            checkRange(c, -255, 255, "each --rgb offset");
        adjustments.redOffset = v[0];
        adjustments.greenOffset = v[1];
        adjustments.blueOffset = v[2];
    }
    if (auto hsl = options.value("hsl")) {
        const auto v = parseTriple(*hsl, 3, "--hsl");
        checkRange(v[0], -180, 180, "the hue");
        checkRange(v[1], -100, 100, "the saturation");
        checkRange(v[2], -200, 200, "the lightness");
        adjustments.setHslPositions(v[0], v[1], v[2]);
    }
    if (auto contrast = options.value("contrast")) {
        const auto v = parseTriple(*contrast, 2, "--contrast");
        checkRange(v[0], -100, 100, "the contrast");
        checkRange(v[1], -100, 100, "the brightness");
        adjustments.setContrastPositions(v[0], v[1]);
    }
    JpegWriterSettings jpeg;
    if (auto quality = options.value("quality"))
        jpeg.quality = parseInt(*quality, "--quality");

    const auto outFormat = formatForFileName(files[1]);
    if (!outFormat)
        throw PictureError(PictureMessage::Unsupported, PictureSource::File);
    DibPicture picture = loadPicture(files[0]);
    if (rotate == "left")
        rotateLeft(picture, adjustments);
    else if (rotate == "right")
        rotateRight(picture, adjustments);
    if (flip == "h")
        flipHorizontal(picture);
    else if (flip == "v")
        flipVertical(picture);
    const DibPicture adjusted = applyAdjustments(picture, adjustments);
    writePictureFile(files[1], encodePicture(adjusted, *outFormat, jpeg));
    return 0;
}

int runFrames(const Arguments& options)
{
    const std::string& file = positional(options, 1, "frames needs a GIF file")[0];
    const auto rule = options.value("rule");
    if (!rule)
        usage("frames needs --rule first|count|time");
    SelectionMode mode;
    if (*rule == "first")
        mode = SelectionMode::FirstFive;
    else if (*rule == "count")
        mode = SelectionMode::ByAverageCount;
    else if (*rule == "time")
        mode = SelectionMode::ByAverageTime;
    else
        usage("--rule takes first, count or time");
    Animation animation = Animation::open(file);
    FrameSelector selector;
    selector.choose(mode, animation.delays());
    const FrameSelection chosen = selector.selection().value_or(selectFirstFive());
    std::cout << jsonArray(std::vector<int>(chosen.begin(), chosen.end())) << "\n";
    return 0;
}

int runUpload(const Arguments& options)
{
    const std::string& file = positional(options, 1, "upload needs a picture file")[0];
    const auto type = options.value("type");
    const auto out = options.value("o");
    if (!type || !out)
        usage("upload needs --type 2|3|4 and -o OUT");
    const int storeType = parseInt(*type, "--type");
    if (storeType < 2 || storeType > 4)
        usage("--type takes 2, 3 or 4");
    const DibPicture picture = loadPicture(file);
    writePictureFile(*out, uploadBytes(picture, storeType));
    return 0;
}

// The codecs' messages are the user's texts and stand alone, without the program's name.
orka::cli::Body withPictureMessages(int (*command)(const Arguments&))
{
    return [command](const Arguments& args) {
        try {
            return command(args);
        } catch (const PictureError& e) {
            std::cerr << e.what() << "\n";
            return orka::cli::kExitFailed;
        }
    };
}

} // namespace

int main(int argc, char** argv)
{
    const orka::cli::Program program("orkapic", kUsage);
    return program.run(argc, argv, {},
                       {
                           {"info", {{"json", 0, false}}, withPictureMessages(runInfo)},
                           {"convert",
                            {{"rotate", 0, true},
                             {"flip", 0, true},
                             {"rgb", 0, true},
                             {"hsl", 0, true},
                             {"contrast", 0, true},
                             {"quality", 0, true}},
                            withPictureMessages(runConvert)},
                           {"frames", {{"rule", 0, true}, {"json", 0, false}}, withPictureMessages(runFrames)},
                           {"upload", {{"type", 0, true}, {"", 'o', true}}, withPictureMessages(runUpload)},
                       });
}
