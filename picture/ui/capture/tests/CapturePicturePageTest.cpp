// The capture picture page on real widgets: the frame's shape per category, moving and
// zooming it, the crop against ImageMagick doing the same, main-menu sets and broken files.
#include "orka/picture/ui/CapturePicturePage.h"

#include "../src/CaptureView.h"
#include "orka/picture/JpegCodec.h"
#include "orka/picture/PictureFile.h"
#include "orka/ui/UserPrompts.h"

#include <QGroupBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <memory>
#include <random>

using namespace orka;
using orka::picture::ui::CapturePicturePage;
using orka::picture::ui::CaptureView;

Q_DECLARE_METATYPE(std::vector<orka::DibPicture>)

namespace {

// Noise whose channel values are all multiples of 4, so the mean of a 2 x 2 block is a whole
// number and no rounding rule can make two scalers differ.
DibPicture noise(int width, int height, unsigned seed)
{
    DibPicture p(width, height, 3);
    std::mt19937 rng(seed);
    for (std::uint32_t y = 0; y < p.height(); ++y)
        for (std::uint32_t x = 0; x < 3 * p.width(); ++x)
            p.row(y)[x] = std::uint8_t((rng() % 64) * 4);
    return p;
}

// A binary PPM as ImageMagick writes it, as a 3-byte picture.
DibPicture readPpm(const QString& file)
{
    std::ifstream in(file.toStdString(), std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maxValue = 0;
    in >> magic >> width >> height >> maxValue;
    in.get();
    DibPicture p(width, height, 3);
    for (std::uint32_t y = 0; y < p.height(); ++y)
        for (std::uint32_t x = 0; x < p.width(); ++x) {
            char rgb[3];
            in.read(rgb, 3);
            p.row(y)[3 * x] = std::uint8_t(rgb[2]);
            p.row(y)[3 * x + 1] = std::uint8_t(rgb[1]);
            p.row(y)[3 * x + 2] = std::uint8_t(rgb[0]);
        }
    return in ? p : DibPicture();
}

} // namespace

class CapturePicturePageTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QString write(const DibPicture& picture, const QString& name, PictureFormat format)
    {
        const QString path = dir_.filePath(name);
        writePictureFile(path.toStdString(), encodePicture(picture, format));
        return path;
    }

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<std::vector<orka::DibPicture>>(); }

    void frameTakesTheShapeOfEachCategory()
    {
        CapturePicturePage page;
        page.resize(800, 600);
        page.show();
        QVERIFY(page.setSourceFile(write(noise(640, 480, 1), QStringLiteral("wide.bmp"), PictureFormat::Bmp)));
        struct Case {
            int category;
            std::uint32_t width, height;
            bool menu;
        };
        for (const Case c : {Case{20000, 128, 124, false}, Case{30000, 128, 84, true}, Case{40000, 45, 55, false}}) {
            page.setCategory(c.category);
            const PixelRect r = page.captureView()->frame().rect();
            // The frame has the item's shape, as near as whole pixels allow.
            QVERIFY(std::abs(double(r.width) / r.height - double(c.width) / c.height) < 0.01);
            // ...and spans the picture's width or height (whole pixels may cost one row).
            QVERIFY(r.width >= 639 || r.height >= 479);
            const DibPicture taken = page.capturedPicture();
            QCOMPARE(taken.width(), c.width);
            QCOMPARE(taken.height(), c.height);
            QCOMPARE(page.findChild<QGroupBox*>(QStringLiteral("menuGroup"))->isVisible(), c.menu);
        }
        // Categories that are not pictures leave the page as it was.
        page.setCategory(50000);
        page.setCategory(12345);
        QCOMPARE(page.categoryId(), 40000);
    }

    void mouseWheelKeysAndButtonsMoveAndZoomTheFrame()
    {
        CapturePicturePage page;
        page.resize(800, 600);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        page.setCategory(20000);
        QVERIFY(page.setSourceFile(write(noise(1280, 600, 2), QStringLiteral("move.bmp"), PictureFormat::Bmp)));
        CaptureView* view = page.captureView();
        auto* zoomIn = page.findChild<QPushButton*>(QStringLiteral("zoomInButton"));
        auto* zoomOut = page.findChild<QPushButton*>(QStringLiteral("zoomOutButton"));
        QVERIFY(!zoomOut->isEnabled()); // the frame starts as large as it can be
        const PixelRect start = view->frame().rect();

        // A drag of 40 view pixels moves the frame by 40 / scale source pixels.
        const QPoint from = view->pictureArea().center().toPoint();
        QTest::mousePress(view, Qt::LeftButton, {}, from);
        QTest::mouseMove(view, from + QPoint(40, 0));
        QTest::mouseRelease(view, Qt::LeftButton, {}, from + QPoint(40, 0));
        QVERIFY(std::abs(view->frame().rect().left - (start.left + std::llround(40 / view->scale()))) <= 1);

        view->setFocus();
        const std::int64_t left = view->frame().rect().left;
        QTest::keyClick(view, Qt::Key_Left);
        QVERIFY(view->frame().rect().left < left);
        QTest::keyClick(view, Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(view, Qt::Key_Plus);
        QVERIFY(view->frame().rect().width < start.width);
        QVERIFY(zoomOut->isEnabled());
        QTest::keyClick(view, Qt::Key_Home);
        QCOMPARE(view->frame().rect(), start);

        QWheelEvent wheel(QPointF(from), view->mapToGlobal(QPointF(from)), {}, QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
        QVERIFY(view->frame().rect().width < start.width);
        while (zoomIn->isEnabled())
            QTest::mouseClick(zoomIn, Qt::LeftButton);
        QCOMPARE(view->frame().rect().width, view->frame().smallestWidth());
        QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("fitButton")), Qt::LeftButton);
        QCOMPARE(view->frame().rect(), start);
        // Dragging far past the edge stops the frame at the edge.
        QTest::mousePress(view, Qt::LeftButton, {}, from);
        QTest::mouseMove(view, from + QPoint(-2000, 0));
        QTest::mouseRelease(view, Qt::LeftButton, {}, from + QPoint(-2000, 0));
        QCOMPARE(view->frame().rect().left, std::int64_t(0));
    }

    void cropMatchesImageMagick()
    {
        const QString convert = QStringLiteral("/usr/bin/convert");
        if (!QFileInfo::exists(convert))
            QSKIP("ImageMagick is not installed");
        // A caller photo (45 x 55) from a 200 x 110 picture: the frame is 90 x 110, exactly
        // twice the item size, so ImageMagick's box filter takes the same 2 x 2 means.
        const DibPicture source = noise(200, 110, 3);
        const QString bmp = write(source, QStringLiteral("source.bmp"), PictureFormat::Bmp);
        CapturePicturePage page;
        page.setCategory(40000);
        QVERIFY(page.setSourceFile(bmp));
        page.captureView()->moveFrameBy(-20, 0);
        const PixelRect r = page.captureView()->frame().rect();
        QCOMPARE(r, (PixelRect{35, 0, 90, 110}));

        const QString ppm = dir_.filePath(QStringLiteral("magick.ppm"));
        QProcess magick;
        magick.start(convert, {bmp, QStringLiteral("-crop"), QStringLiteral("90x110+35+0"), QStringLiteral("+repage"),
                               QStringLiteral("-filter"), QStringLiteral("box"), QStringLiteral("-resize"),
                               QStringLiteral("45x55!"), QStringLiteral("-depth"), QStringLiteral("8"), ppm});
        QVERIFY(magick.waitForFinished(30000));
        QCOMPARE(magick.exitCode(), 0);
        const DibPicture expected = readPpm(ppm);
        QCOMPARE(expected.width(), 45u);
        const DibPicture taken = page.capturedPicture();
        QCOMPARE(taken.width(), 45u);
        QCOMPARE(taken.height(), 55u);
        for (std::uint32_t y = 0; y < 55; ++y)
            QVERIFY2(std::memcmp(taken.row(y), expected.row(y), 45 * 3) == 0, qPrintable(QString::number(y)));
    }

    void mainMenuSetIsTakenPictureByPicture()
    {
        CapturePicturePage page;
        page.setCategory(30000);
        page.show();
        QSignalSpy captured(&page, &CapturePicturePage::picturesCaptured);
        auto* add = page.findChild<QPushButton*>(QStringLiteral("addToMenuButton"));
        auto* remove = page.findChild<QPushButton*>(QStringLiteral("removeFromMenuButton"));
        QVERIFY(!add->isEnabled()); // nothing to take from yet
        QVERIFY(page.setSourceFile(write(noise(300, 300, 4), QStringLiteral("menu.jpg"), PictureFormat::Jpeg)));
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(add, Qt::LeftButton);
            page.captureView()->moveFrameBy(0, 40);
        }
        QCOMPARE(page.menuPictures().size(), std::size_t(3));
        QVERIFY(page.menuPictures()[0] != page.menuPictures()[1]);
        QTest::mouseClick(remove, Qt::LeftButton); // the last one added is current
        QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("nextButton")), Qt::LeftButton);
        QCOMPARE(captured.size(), 1);
        const auto set = captured.at(0).at(0).value<std::vector<orka::DibPicture>>();
        QCOMPARE(set.size(), std::size_t(2));
        QCOMPARE(set[1].height(), 84u);
        // Another category starts afresh and hands on the frame's picture alone.
        page.setCategory(20000);
        QVERIFY(page.menuPictures().empty());
        QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("nextButton")), Qt::LeftButton);
        QCOMPARE(captured.at(1).at(0).value<std::vector<orka::DibPicture>>().size(), std::size_t(1));
    }

    void brokenFilesAreRefusedAndThePageKeepsItsPicture()
    {
        orka::ui::PromptScript prompts;
        CapturePicturePage page;
        QSignalSpy captured(&page, &CapturePicturePage::picturesCaptured);
        // Nothing opened yet: "下一步" says so and hands on nothing.
        QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("nextButton")), Qt::LeftButton);
        QCOMPARE(prompts.texts().value(0), QStringLiteral("無選擇任一檔案。"));
        QCOMPARE(captured.size(), 0);

        const QString good = write(noise(64, 64, 5), QStringLiteral("good.gif"), PictureFormat::Gif);
        QVERIFY(page.setSourceFile(good));
        const auto jpeg = encodeJpeg(noise(64, 64, 6));
        const QString cut = dir_.filePath(QStringLiteral("cut.jpg"));
        writePictureFile(cut.toStdString(), std::span(jpeg).first(jpeg.size() - 500));
        const QString text = dir_.filePath(QStringLiteral("notes.txt"));
        writePictureFile(text.toStdString(), std::vector<std::uint8_t>{'h', 'i'});
        const QString fake = dir_.filePath(QStringLiteral("fake.bmp"));
        writePictureFile(fake.toStdString(), std::vector<std::uint8_t>(100, 'x'));

        prompts.clear();
        QVERIFY(!page.setSourceFile(cut));
        QVERIFY(!page.setSourceFile(text));
        QVERIFY(!page.setSourceFile(fake));
        QVERIFY(!page.setSourceFile(dir_.filePath(QStringLiteral("missing.bmp"))));
        const QStringList shown = prompts.texts();
        QCOMPARE(shown.size(), 4);
        QVERIFY2(shown[0].startsWith(QStringLiteral("檔案格式不正確.")), qPrintable(shown[0]));
        QVERIFY2(shown[1].startsWith(QStringLiteral("檔案格式不支援.")), qPrintable(shown[1]));
        QVERIFY2(shown[2].startsWith(QStringLiteral("檔案格式不正確.")), qPrintable(shown[2]));
        QVERIFY2(shown[3].contains(QStringLiteral("missing.bmp")), qPrintable(shown[3]));
        QCOMPARE(page.sourceFile(), good);
        QVERIFY(!page.captureView()->frame().empty());
        QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("nextButton")), Qt::LeftButton);
        QCOMPARE(captured.size(), 1);
    }
};

std::unique_ptr<QObject> makeCapturePicturePageTest()
{
    return std::make_unique<CapturePicturePageTest>();
}

#include "CapturePicturePageTest.moc"
