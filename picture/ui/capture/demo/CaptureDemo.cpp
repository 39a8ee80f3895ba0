// Shows one capture page on its own with a picture made here, for a look at the page before
// the wizard hosts it:  piccapture_demo picture [category] | piccapture_demo animation
#include "../src/CaptureView.h"
#include "orka/picture/CaptureFrame.h"
#include "orka/picture/GifCodec.h"
#include "orka/picture/PictureFile.h"
#include "orka/picture/ui/CaptureAnimationPage.h"
#include "orka/picture/ui/CapturePicturePage.h"
#include "orka/ui/UiText.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <cmath>

using namespace orka;

namespace {

// A sunset over the sea with a sailing boat.
DibPicture scene(int width, int height, int boatX)
{
    DibPicture p(width, height, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double horizon = height * 0.55;
            int r, g, b;
            if (y < horizon) {
                const double t = y / horizon;
                r = 250 - int(60 * t);
                g = 120 + int(70 * t);
                b = 80 + int(140 * t);
                if (std::hypot(x - width * 0.7, y - horizon * 0.8) < height * 0.09)
                    r = 255, g = 220, b = 90;
            } else {
                const bool crest = (y + int(4 * std::sin(x / 9.0))) % 14 < 2;
                r = crest ? 230 : 20;
                g = crest ? 200 : 70 + (y - int(horizon)) / 4;
                b = crest ? 170 : 150;
            }
            const int bx = x - boatX, by = y - int(horizon) + 8;
            if (by >= 0 && by < 10 && std::abs(bx) < 30 - by)
                r = 90, g = 50, b = 30;
            if (by < 0 && by > -50 && bx >= 0 && bx < (50 + by) / 2)
                r = g = b = 245;
            std::uint8_t* q = p.row(std::uint32_t(y)) + 3 * x;
            q[0] = std::uint8_t(b), q[1] = std::uint8_t(g), q[2] = std::uint8_t(r);
        }
    return p;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("picture");
    if (what == QLatin1String("animation")) {
        std::vector<DibPicture> frames;
        for (int i = 0; i < 12; ++i)
            frames.push_back(scene(160, 200, 20 + 10 * i));
        const QString gif = dir.filePath(QStringLiteral("boat.gif"));
        writePictureFile(gif.toStdString(), encodeAnimationGif(frames, std::vector<int>(12, 15)));
        picture::ui::CaptureAnimationPage page;
        page.setWindowTitle(ui::uiText(picture::ui::CaptureAnimationPage::kTitleId));
        page.resize(1000, 760);
        page.setSourceFile(gif);
        page.findChild<QToolButton*>(QStringLiteral("averageCountButton"))->click();
        page.show();
        return app.exec();
    }
    const int category = argc > 2 ? std::atoi(argv[2]) : 30000;
    const QString bmp = dir.filePath(QStringLiteral("sunset.bmp"));
    writePictureFile(bmp.toStdString(), encodePicture(scene(640, 420, 200), PictureFormat::Bmp));
    picture::ui::CapturePicturePage page;
    page.setWindowTitle(ui::uiText(picture::ui::CapturePicturePage::kTitleId));
    page.resize(1000, 700);
    page.setCategory(category);
    page.setSourceFile(bmp);
    page.findChild<QPushButton*>(QStringLiteral("zoomInButton"))->click();
    if (category == 30000) {
        page.findChild<QPushButton*>(QStringLiteral("addToMenuButton"))->click();
        page.captureView()->moveFrameBy(-120, 30);
        page.findChild<QPushButton*>(QStringLiteral("addToMenuButton"))->click();
    }
    page.show();
    return app.exec();
}
