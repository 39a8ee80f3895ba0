// Draws the sample pictures and arranges the sample tunes that every samples folder ships
// with, and writes them as the samples folders' files into the folder named on the command
// line. Everything here is our own: simple drawings, and two public-domain melodies (Ode to
// Joy, Twinkle Twinkle Little Star) set by us, one kept as MIDI and one converted to SMAF.
#include "melconv.h"
#include "orka/app/COrkaDoc.h"
#include "orka/common/ByteOrder.h"
#include "orka/resources/VoiceBank.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

using namespace orka::app;

namespace {

struct Rgb {
    std::uint8_t r, g, b;
};

using Painter = std::function<Rgb(int x, int y)>;

Bitmap draw(int width, int height, const Painter& paint)
{
    Bitmap b;
    b.width = std::uint8_t(width);
    b.height = std::uint8_t(height);
    b.padding = std::uint8_t((4 - width % 4) % 4);
    b.pixels.assign(Bitmap::bytesFor(b.width, b.height, b.padding), 0);
    const std::size_t stride = std::size_t(width + b.padding) * 3;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb c = paint(x, y);
            std::uint8_t* p = b.pixels.data() + stride * std::size_t(y) + std::size_t(x) * 3;
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    return b;
}

bool inCircle(int x, int y, double cx, double cy, double r) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; }

std::uint8_t mix(int from, int to, double t) { return std::uint8_t(from + (to - from) * t); }

// An evening sky with a low sun over two hills.
Rgb sunset(int x, int y, int w, int h)
{
    if (y > h * 0.70 + 10 * std::sin(x / 14.0))
        return {40, 110, 50};
    if (y > h * 0.62 + 8 * std::sin(x / 9.0 + 2))
        return {70, 140, 70};
    if (inCircle(x, y, w * 0.68, h * 0.55, 16))
        return {255, 210, 60};
    const double t = double(y) / h;
    return {mix(60, 250, t), mix(70, 140, t), mix(160, 90, t)};
}

// Waves of the sea under a pale sky.
Rgb sea(int x, int y, int, int h)
{
    const double wave = h * 0.5 + 6 * std::sin(x / 10.0 + y / 25.0);
    if (y < wave)
        return {mix(170, 220, double(y) / h), 220, 250};
    const bool crest = (y + int(4 * std::sin(x / 6.0))) % 12 < 2;
    return crest ? Rgb{230, 240, 255} : Rgb{20, mix(80, 40, double(y) / h), 160};
}

// Nine rounded tiles, one for each entry of a main menu.
Rgb menuTiles(int x, int y, int w, int h)
{
    const int cols = 3, rows = 3;
    const int cw = w / cols, ch = h / rows;
    const int cx = x % cw, cy = y % ch;
    const int tile = (y / ch) * cols + x / cw;
    const bool inside = cx > 3 && cx < cw - 3 && cy > 3 && cy < ch - 3;
    if (!inside)
        return {235, 235, 240};
    static const Rgb colours[] = {{220, 70, 60}, {240, 160, 40}, {230, 210, 50}, {90, 180, 70}, {50, 160, 200},
                                  {60, 90, 200}, {140, 80, 190}, {200, 80, 150}, {120, 120, 120}};
    return colours[tile % 9];
}

// A round smiling face.
Rgb smiley(int x, int y, int w, int h)
{
    const double cx = w / 2.0, cy = h / 2.0;
    if (!inCircle(x, y, cx, cy, 20))
        return {200, 225, 245};
    if (inCircle(x, y, cx - 7, cy - 6, 3) || inCircle(x, y, cx + 7, cy - 6, 3))
        return {40, 40, 40};
    const double d = std::hypot(x - cx, y - cy + 2);
    if (y > cy + 2 && d > 10 && d < 13)
        return {160, 40, 40};
    return {250, 210, 70};
}

// A ball falling and bouncing, frame by frame.
Rgb bounce(int x, int y, int w, int h, int frame)
{
    static const double heights[] = {0.15, 0.45, 0.80, 0.45, 0.15};
    if (y > h - 14)
        return {110, 80, 50};
    const double cy = (h - 14 - 18) * heights[frame] + 18;
    if (inCircle(x, y, w / 2.0, cy, 16))
        return {230, 60, 60};
    return {mix(120, 200, double(y) / h), mix(180, 230, double(y) / h), 250};
}

// A Standard MIDI File of one track: a melody of (note, length in eighths), one instrument.
std::vector<std::uint8_t> melodyFile(const std::vector<std::pair<int, int>>& notes, int program, int tempoMicros)
{
    constexpr int kDivision = 480, kEighth = kDivision / 2;
    std::vector<std::uint8_t> track;
    auto delta = [&track](unsigned v) {
        std::uint8_t bytes[4];
        int n = 0;
        bytes[n++] = v & 0x7F;
        while (v >>= 7)
            bytes[n++] = std::uint8_t(0x80 | (v & 0x7F));
        while (n)
            track.push_back(bytes[--n]);
    };
    delta(0);
    track.insert(track.end(), {0xFF, 0x51, 0x03, std::uint8_t(tempoMicros >> 16), std::uint8_t(tempoMicros >> 8),
                               std::uint8_t(tempoMicros)});
    // The converter wants each channel's reserve (controller 55) before its program.
    constexpr std::uint8_t kChannelReserve = 55;
    delta(0);
    track.insert(track.end(), {0xB0, kChannelReserve, 1});
    delta(0);
    track.insert(track.end(), {0xC0, std::uint8_t(program)});
    for (const auto& [note, eighths] : notes) {
        delta(0);
        track.insert(track.end(), {0x90, std::uint8_t(note), 100});
        delta(unsigned(eighths * kEighth - 20));
        track.insert(track.end(), {0x80, std::uint8_t(note), 0});
        delta(20);
        track.insert(track.end(), {0xFF, 0x01, 0x00}); // an empty text event keeps the rest
    }
    delta(0);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});

    std::vector<std::uint8_t> smf = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
    orka::common::appendBE16(smf, kDivision);
    smf.insert(smf.end(), {'M', 'T', 'r', 'k'});
    orka::common::appendBE32(smf, std::uint32_t(track.size()));
    smf.insert(smf.end(), track.begin(), track.end());
    return smf;
}

std::vector<std::uint8_t> toSmaf(const std::vector<std::uint8_t>& smf)
{
    const auto bank = orka::resources::embeddedVoiceBank();
    std::vector<std::uint8_t> out(64 * 1024);
    auto size = std::int32_t(out.size());
    char message[260] = {};
    if (!MCVConvert(smf.data(), std::int32_t(smf.size()), out.data(), &size, bank.data(), std::int32_t(bank.size()),
                    nullptr, 0, message, sizeof message)) {
        std::fprintf(stderr, "make_samples: the converter refused the tune: %s\n", message);
        std::exit(1);
    }
    out.resize(std::size_t(size));
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_samples OUTPUT_FOLDER\n");
        return 2;
    }
    try {
        COrkaDoc doc{std::filesystem::path(argv[1])};
        doc.build();
        auto add = [&doc](int folder, const char* name, ItemContent content) {
            doc.openFolder(folder);
            doc.addItem(folder, GalleryItem::make(name, std::move(content)));
        };
        add(20002, "夕陽", PictureContent{draw(128, 124, [](int x, int y) { return sunset(x, y, 128, 124); })});
        add(20002, "海浪", PictureContent{draw(128, 124, [](int x, int y) { return sea(x, y, 128, 124); })});
        add(30002, "方塊", PictureContent{draw(128, 84, [](int x, int y) { return menuTiles(x, y, 128, 84); })});
        add(40002, "笑臉", PictureContent{draw(45, 55, [](int x, int y) { return smiley(x, y, 45, 55); })});
        AnimationContent ball;
        for (int f = 0; f < 5; ++f)
            ball.frames.push_back(
                {10, draw(128, 160, [f](int x, int y) { return bounce(x, y, 128, 160, f); })});
        add(50002, "彈跳球", std::move(ball));

        // E E F G G F E D C C D E E. D D (eighths: 2 each, the dotted ones 3 and 1)
        const std::vector<std::pair<int, int>> ode = {{64, 2}, {64, 2}, {65, 2}, {67, 2}, {67, 2}, {65, 2}, {64, 2},
                                                      {62, 2}, {60, 2}, {60, 2}, {62, 2}, {64, 2}, {64, 3}, {62, 1},
                                                      {62, 4}};
        const std::vector<std::pair<int, int>> twinkle = {{60, 2}, {60, 2}, {67, 2}, {67, 2}, {69, 2}, {69, 2},
                                                          {67, 4}, {65, 2}, {65, 2}, {64, 2}, {64, 2}, {62, 2},
                                                          {62, 2}, {60, 4}};
        add(70002, "快樂頌", MelodyContent{MelodyContent::kSmaf, toSmaf(melodyFile(ode, 73, 500000))});
        add(70002, "小星星", MelodyContent{MelodyContent::kMidi, melodyFile(twinkle, 0, 600000)});
        for (int folder : {20002, 30002, 40002, 50002, 70002})
            doc.saveFolder(folder);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_samples: %s\n", e.what());
        return 1;
    }
    return 0;
}
