#pragma once
// Shared helpers of the picture tests: the committed sample files, pictures made in code
// and a private ORKA_HOME.
#include "orka/picture/DibPicture.h"
#include "orka/picture/PictureError.h"
#include "orka/testing/ToolRunner.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace orka::test {

// The message of the picture error that f raises, or "(no error)".
template <typename F>
std::string errorOf(F&& f)
{
    try {
        f();
    } catch (const PictureError& e) {
        return e.what();
    }
    return "(no error)";
}

inline std::filesystem::path sampleFile(const std::string& name)
{
    const char* root = std::getenv("ORKA_SOURCE_DIR");
    return std::filesystem::path(root ? root : ".") / "picture/tests/data" / name;
}

// The eight corner colours of the RGB cube as red, green, blue.
inline constexpr std::array<std::array<std::uint8_t, 3>, 8> kCorners = {{
    {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}, {255, 0, 255}, {255, 255, 255}}};

// The 7 x 5 pattern the sample files hold: pixel (x, y) has corner colour (x + 2y) mod 8.
inline std::array<std::uint8_t, 3> patternColour(std::uint32_t x, std::uint32_t y) { return kCorners[(x + 2 * y) % 8]; }

inline DibPicture makePattern()
{
    DibPicture p(7, 5, 3);
    for (std::uint32_t y = 0; y < 5; ++y)
        for (std::uint32_t x = 0; x < 7; ++x) {
            const auto c = patternColour(x, y);
            p.row(y)[3 * x] = c[2];
            p.row(y)[3 * x + 1] = c[1];
            p.row(y)[3 * x + 2] = c[0];
        }
    return p;
}

inline DibPicture makeNoise(int width, int height, unsigned seed)
{
    DibPicture p(width, height, 3);
    std::mt19937 rng(seed);
    for (std::uint32_t y = 0; y < p.height(); ++y)
        for (std::uint32_t x = 0; x < 3 * p.width(); ++x)
            p.row(y)[x] = std::uint8_t(rng());
    return p;
}

// Red, green, blue of one pixel of a 3-byte picture.
inline std::array<int, 3> rgbAt(const DibPicture& p, std::uint32_t x, std::uint32_t y)
{
    const std::uint8_t* q = p.row(y) + 3 * x;
    return {q[2], q[1], q[0]};
}

inline void setRgb(DibPicture& p, std::uint32_t x, std::uint32_t y, int r, int g, int b)
{
    std::uint8_t* q = p.row(y) + 3 * x;
    q[0] = std::uint8_t(b);
    q[1] = std::uint8_t(g);
    q[2] = std::uint8_t(r);
}

// Same visible pixels (padding ignored).
inline bool samePixels(const DibPicture& a, const DibPicture& b)
{
    if (a.width() != b.width() || a.height() != b.height() || a.bytesPerPixel() != b.bytesPerPixel())
        return false;
    const std::size_t rowBytes = std::size_t(a.width()) * a.bytesPerPixel();
    for (std::uint32_t y = 0; y < a.height(); ++y)
        if (!std::equal(a.row(y), a.row(y) + rowBytes, b.row(y)))
            return false;
    return true;
}

// A private home for files the test writes, removed at the end.
class TempDir : public orka::testing::ScratchDir {
public:
    TempDir() : ScratchDir("orka-picture") { setenv("ORKA_HOME", path().c_str(), 1); }
};

} // namespace orka::test
