// orkapic: the picture codecs, adjustments, frame rules and upload encodings from the
// command line.
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

constexpr int kUsageExit = 2;

struct UsageError {
    std::string text;
};

[[noreturn]] void usage(const std::string& text)
{
    throw UsageError{text};
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

// Options after the positional arguments: "--name value" pairs and bare flags.
class Options {
public:
    Options(const std::vector<std::string>& args, std::size_t from, std::vector<std::string> withValue,
            std::vector<std::string> flags)
    {
        for (std::size_t i = from; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
                values_.emplace_back(a, "");
            } else if (std::find(withValue.begin(), withValue.end(), a) != withValue.end()) {
                if (i + 1 >= args.size())
                    usage(a + " needs a value");
                values_.emplace_back(a, args[++i]);
            } else {
                usage("unknown argument: " + a);
            }
        }
    }
    std::optional<std::string> get(const std::string& name) const
    {
        std::optional<std::string> found;
        for (const auto& [k, v] : values_)
            if (k == name)
                found = v;
        return found;
    }
    bool has(const std::string& name) const { return get(name).has_value(); }

private:
    std::vector<std::pair<std::string, std::string>> values_;
};

int runInfo(const std::vector<std::string>& args)
{
    if (args.size() < 2)
        usage("info needs a file");
    Options options(args, 2, {}, {"--json"});
    const std::string& file = args[1];
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

int runConvert(const std::vector<std::string>& args)
{
    if (args.size() < 3)
        usage("convert needs an input and an output file");
    Options options(args, 3, {"--rotate", "--flip", "--rgb", "--hsl", "--contrast", "--quality"}, {});
    PictureAdjustments adjustments;
    std::optional<std::string> rotate = options.get("--rotate");
    std::optional<std::string> flip = options.get("--flip");
    if (rotate && *rotate != "left" && *rotate != "right")
        usage("--rotate takes left or right");
    if (flip && *flip != "h" && *flip != "v")
        usage("--flip takes h or v");
    if (auto rgb = options.get("--rgb")) {
        const auto v = parseTriple(*rgb, 3, "--rgb");
        for (int c : v)
            checkRange(c, -255, 255, "each --rgb offset");
        adjustments.redOffset = v[0];
        adjustments.greenOffset = v[1];
        adjustments.blueOffset = v[2];
    }
    if (auto hsl = options.get("--hsl")) {
        const auto v = parseTriple(*hsl, 3, "--hsl");
        checkRange(v[0], -180, 180, "the hue");
        checkRange(v[1], -100, 100, "the saturation");
        checkRange(v[2], -200, 200, "the lightness");
        adjustments.setHslPositions(v[0], v[1], v[2]);
    }
    if (auto contrast = options.get("--contrast")) {
        const auto v = parseTriple(*contrast, 2, "--contrast");
        checkRange(v[0], -100, 100, "the contrast");
        checkRange(v[1], -100, 100, "the brightness");
        adjustments.setContrastPositions(v[0], v[1]);
    }
    JpegWriterSettings jpeg;
    if (auto quality = options.get("--quality"))
        jpeg.quality = parseInt(*quality, "--quality");

    const auto outFormat = formatForFileName(args[2]);
    if (!outFormat)
        throw PictureError(PictureMessage::Unsupported, PictureSource::File);
    DibPicture picture = loadPicture(args[1]);
    if (rotate == "left")
        rotateLeft(picture, adjustments);
    else if (rotate == "right")
        rotateRight(picture, adjustments);
    if (flip == "h")
        flipHorizontal(picture);
    else if (flip == "v")
        flipVertical(picture);
    const DibPicture adjusted = applyAdjustments(picture, adjustments);
    writePictureFile(args[2], encodePicture(adjusted, *outFormat, jpeg));
    return 0;
}

int runFrames(const std::vector<std::string>& args)
{
    if (args.size() < 2)
        usage("frames needs a GIF file");
    Options options(args, 2, {"--rule"}, {"--json"});
    const auto rule = options.get("--rule");
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
    Animation animation = Animation::open(args[1]);
    FrameSelector selector;
    selector.choose(mode, animation.delays());
    const FrameSelection chosen = selector.selection().value_or(selectFirstFive());
    std::cout << jsonArray(std::vector<int>(chosen.begin(), chosen.end())) << "\n";
    return 0;
}

int runUpload(const std::vector<std::string>& args)
{
    if (args.size() < 2)
        usage("upload needs a picture file");
    Options options(args, 2, {"--type", "-o"}, {});
    const auto type = options.get("--type");
    const auto out = options.get("-o");
    if (!type || !out)
        usage("upload needs --type 2|3|4 and -o OUT");
    const int storeType = parseInt(*type, "--type");
    if (storeType < 2 || storeType > 4)
        usage("--type takes 2, 3 or 4");
    const DibPicture picture = loadPicture(args[1]);
    writePictureFile(*out, uploadBytes(picture, storeType));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.empty())
            usage("a command is needed");
        const std::string& command = args[0];
        if (command == "info")
            return runInfo(args);
        if (command == "convert")
            return runConvert(args);
        if (command == "frames")
            return runFrames(args);
        if (command == "upload")
            return runUpload(args);
        if (command == "--help" || command == "-h") {
            std::cout << kUsage;
            return 0;
        }
        usage("unknown command: " + command);
    } catch (const UsageError& e) {
        std::cerr << "orkapic: " << e.text << "\n" << kUsage;
        return kUsageExit;
    } catch (const PictureError& e) {
        std::cerr << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
