#pragma once
// A drawn 128 x 160 scene (sky, sun, grass) for the demo window and the benchmark: smooth
// areas and a striped one, so colour changes and strokes show.
#include "orka/picture/DibPicture.h"

namespace orka::ui {

inline DibPicture sampleScene()
{
    DibPicture p(128, 160, 3);
    for (std::uint32_t y = 0; y < p.height(); ++y)
        for (std::uint32_t x = 0; x < p.width(); ++x) {
            std::uint8_t* q = p.row(y) + 3 * x;
            const bool grass = y > 110;
            const int dx = int(x) - 92, dy = int(y) - 36;
            const bool sun = dx * dx + dy * dy < 300;
            q[0] = std::uint8_t(sun ? 40 : grass ? 40 : 255 - y);
            q[1] = std::uint8_t(sun ? 220 : grass ? 150 + (x % 7) * 8 : 170 - y / 2);
            q[2] = std::uint8_t(sun ? 255 : grass ? 50 : 90 + y / 3);
        }
    return p;
}

} // namespace orka::ui
