// The edit picture page driven as a user would: pen and text strokes with undo and redo, the
// empty-text refusal, the HSL and contrast dialogs, turns checked against Pillow, stamps and
// frames with their see-through magenta, a set edited as one, and when zoom and the move
// tool are offered.
#include "AdjustmentDialogs.h"
#include "ColourButton.h"
#include "EditPicturePage.h"
#include "PictureCanvas.h"

#include "orka/picture/PictureFile.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <random>

using namespace orka;
using namespace orka::ui;

namespace {

using Rgb = std::array<int, 3>;

Rgb rgbAt(const DibPicture& p, int x, int y)
{
    const std::uint8_t* q = p.row(std::uint32_t(y)) + 3 * x;
    return {q[2], q[1], q[0]};
}

DibPicture filled(int width, int height, Rgb colour)
{
    DibPicture p(width, height, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* q = p.row(std::uint32_t(y)) + 3 * x;
            q[0] = std::uint8_t(colour[2]);
            q[1] = std::uint8_t(colour[1]);
            q[2] = std::uint8_t(colour[0]);
        }
    return p;
}

DibPicture noise(int width, int height, unsigned seed)
{
    DibPicture p(width, height, 3);
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 3 * width; ++x)
            p.row(std::uint32_t(y))[x] = std::uint8_t(rng() | 1); // never exactly magenta's 0
    return p;
}

bool samePixels(const DibPicture& a, const DibPicture& b)
{
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (std::uint32_t y = 0; y < a.height(); ++y)
        if (!std::equal(a.row(y), a.row(y) + 3 * a.width(), b.row(y)))
            return false;
    return true;
}

} // namespace

class EditPicturePageTest : public QObject {
    Q_OBJECT

    std::unique_ptr<EditPicturePage> page_;
    QTemporaryDir home_;

    template <typename T>
    T* child(const char* name) const
    {
        T* w = page_->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    void click(const char* button) { QTest::mouseClick(child<QAbstractButton>(button), Qt::LeftButton); }
    QPoint at(int x, int y) const
    {
        const PictureCanvas* c = page_->canvas();
        return c->pictureOrigin() + QPoint(int(x * c->zoom()), int(y * c->zoom()));
    }
    const DibPicture& working() const { return page_->history().state(page_->currentPicture()).picture; }

private Q_SLOTS:
    void initTestCase() { qputenv("ORKA_HOME", home_.path().toUtf8()); }

    void init()
    {
        page_ = std::make_unique<EditPicturePage>();
        page_->resize(900, 640);
        page_->show();
        QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    }
    void cleanup() { page_.reset(); }

    void undoAndRedoCoverPenAndText()
    {
        const DibPicture white = filled(128, 160, {255, 255, 255});
        page_->setPictures({white}, 20000);
        QVERIFY(!child<QToolButton>("undoButton")->isEnabled());

        child<ColourButton>("penColour")->setColour(Qt::red);
        QTest::mousePress(page_->canvas(), Qt::LeftButton, {}, at(10, 10));
        QTest::mouseMove(page_->canvas(), at(60, 10));
        QTest::mouseRelease(page_->canvas(), Qt::LeftButton, {}, at(60, 40));
        const DibPicture afterPen = working();
        QCOMPARE(rgbAt(afterPen, 35, 10), (Rgb{255, 0, 0}));
        QCOMPARE(rgbAt(afterPen, 60, 25), (Rgb{255, 0, 0}));
        QCOMPARE(page_->history().state(0).edits.size(), std::size_t(1)); // one stroke, one step

        click("textToolButton");
        QTest::mouseClick(page_->canvas(), Qt::LeftButton, {}, at(5, 100));
        QCOMPARE(page_->textPosition(), QPoint(5, 100));
        auto* text = child<QLineEdit>("textEdit");
        QTest::keyClicks(text, QStringLiteral("AB"));
        text->insert(QStringLiteral("圖")); // typed through an input method
        click("applyTextButton");
        const DibPicture afterText = working();
        QVERIFY(!samePixels(afterText, afterPen));
        // The text lands below and right of its position, and nowhere above it.
        for (int x = 0; x < 128; ++x)
            QCOMPARE(rgbAt(afterText, x, 99), rgbAt(afterPen, x, 99));

        click("undoButton");
        QVERIFY(samePixels(working(), afterPen));
        click("undoButton");
        QVERIFY(samePixels(working(), white));
        QVERIFY(!child<QToolButton>("undoButton")->isEnabled());
        click("redoButton");
        click("redoButton");
        QVERIFY(samePixels(working(), afterText));
        QVERIFY(!child<QToolButton>("redoButton")->isEnabled());
    }

    void emptyTextIsRefused()
    {
        page_->setPictures({filled(32, 32, {0, 0, 0})}, 20000);
        PromptScript script;
        page_->selectTool(EditPicturePage::Tool::Text);
        click("applyTextButton");
        QTest::keyClicks(child<QLineEdit>("textEdit"), QStringLiteral("   "));
        click("applyTextButton");
        QCOMPARE(script.texts(), (QStringList{uiText(65051), uiText(65051)}));
        QVERIFY(!page_->history().canUndo());
    }

    void hslDialogStoresOnlyOnOk()
    {
        const DibPicture base = noise(40, 30, 3);
        page_->setPictures({base}, 20000);
        click("hslButton");
        auto* dialog = page_->findChild<HslDialog*>();
        QVERIFY(dialog);
        dialog->findChild<QScrollBar*>(QStringLiteral("hueBar"))->setValue(90);
        QCOMPARE(dialog->adjustments().hueShift, 90.0f);
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(page_->history().state(0).adjustments.hueShift, 0.0f);
        QVERIFY(!page_->history().canUndo());
        QTRY_VERIFY(!page_->findChild<HslDialog*>());

        click("hslButton");
        dialog = page_->findChild<HslDialog*>();
        auto* hue = dialog->findChild<QScrollBar*>(QStringLiteral("hueBar"));
        QCOMPARE(hue->value(), 0); // the cancelled value was not kept
        hue->setValue(-45);
        dialog->findChild<QScrollBar*>(QStringLiteral("lightnessBar"))->setValue(50);
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("lightnessNumber"))->text(), QStringLiteral("50"));
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        const PictureAdjustments& stored = page_->history().state(0).adjustments;
        QCOMPARE(stored.hueShift, -45.0f);
        QCOMPARE(stored.lightness, 0.5f);
        QVERIFY(samePixels(working(), base)); // the pixels stay unadjusted
        std::vector<DibPicture> sent;
        connect(page_.get(), &EditPicturePage::picturesEdited, this, [&](const auto& p) { sent = p; });
        click("nextButton");
        QCOMPARE(sent.size(), std::size_t(1));
        QVERIFY(samePixels(sent[0], applyAdjustments(base, stored)));

        // Reopening shows the stored values; undo takes them back.
        click("hslButton");
        dialog = page_->findChild<HslDialog*>();
        QCOMPARE(dialog->findChild<QScrollBar*>(QStringLiteral("lightnessBar"))->value(), 50);
        dialog->reject();
        click("undoButton");
        QCOMPARE(page_->history().state(0).adjustments.lightness, 0.0f);
    }

    void barsShowRoundedPositions()
    {
        // Halves round away from zero: 12.5 shows 13 and -12.5 shows -13.
        PictureAdjustments adjustments;
        adjustments.lightness = 0.125f;
        adjustments.saturation = 0.875f;
        adjustments.hueShift = -180.0f;
        HslDialog hsl(noise(4, 4, 1), adjustments);
        QCOMPARE(hsl.findChild<QScrollBar*>(QStringLiteral("lightnessBar"))->value(), 13);
        QCOMPARE(hsl.findChild<QScrollBar*>(QStringLiteral("saturationBar"))->value(), -13);
        QCOMPARE(hsl.findChild<QScrollBar*>(QStringLiteral("hueBar"))->value(), -180);
        QCOMPARE(hsl.findChild<QLabel*>(QStringLiteral("saturationNumber"))->text(), QStringLiteral("-13"));
        adjustments.contrast = -0.125f;
        adjustments.gamma = 2.0f;
        ContrastDialog contrast(noise(4, 4, 1), adjustments);
        QCOMPARE(contrast.findChild<QScrollBar*>(QStringLiteral("contrastBar"))->value(), -13);
        QCOMPARE(contrast.findChild<QScrollBar*>(QStringLiteral("brightnessBar"))->value(), 100);
        adjustments.redOffset = -255;
        RgbDialog rgb(noise(4, 4, 1), adjustments);
        QCOMPARE(rgb.findChild<QScrollBar*>(QStringLiteral("redBar"))->value(), -255);
        QCOMPARE(rgb.findChild<QScrollBar*>(QStringLiteral("redBar"))->minimum(), -255);
        // Opening a dialog changes nothing until OK.
        QCOMPARE(rgb.adjustments().lightness, 0.125f);
    }

    void contrastBarsStepByOneAndFive()
    {
        PictureAdjustments adjustments;
        adjustments.contrast = 0.985f; // shows 98 or 99 by rounding; stepping is what counts
        ContrastDialog dialog(noise(8, 8, 1), adjustments);
        auto* bar = dialog.findChild<QScrollBar*>(QStringLiteral("contrastBar"));
        QCOMPARE(bar->minimum(), -100);
        bar->setValue(97);
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd); // 102 would pass the end
        QCOMPARE(bar->value(), 97);
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(bar->value(), 98);
        bar->setValue(-95);
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(bar->value(), -100);
        QCOMPARE(dialog.adjustments().contrast, -1.0f);
        auto* brightness = dialog.findChild<QScrollBar*>(QStringLiteral("brightnessBar"));
        brightness->setValue(-30);
        QVERIFY(std::abs(dialog.adjustments().gamma - 0.7f) < 1e-6f);
    }

    void turnsMatchPillow()
    {
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
        if (python.isEmpty() || QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import PIL")}) != 0)
            QSKIP("python3 with Pillow (python3-pil) is not installed");
        const DibPicture base = noise(7, 5, 11); // odd sizes, so rows carry padding
        page_->setPictures({base}, 20000);
        click("rotateRightButton");
        click("flipHorizontalButton");
        click("rotateRightButton");
        click("flipVerticalButton");
        click("rotateLeftButton");
        QCOMPARE(page_->history().state(0).adjustments.rotation, 90);

        QTemporaryDir dir;
        const std::string in = savePicture(base, (dir.path() + QStringLiteral("/in.bmp")).toStdString(), SaveKind::Bmp).string();
        const QString out = dir.path() + QStringLiteral("/out.bmp");
        const QString script = QStringLiteral(
            "import sys\nfrom PIL import Image\nT = Image.Transpose\n"
            "im = Image.open(sys.argv[1]).convert('RGB')\n"
            "for t in (T.ROTATE_270, T.FLIP_LEFT_RIGHT, T.ROTATE_270, T.FLIP_TOP_BOTTOM, T.ROTATE_90):\n"
            "    im = im.transpose(t)\n"
            "im.save(sys.argv[2])\n");
        QCOMPARE(QProcess::execute(python, {QStringLiteral("-c"), script, QString::fromStdString(in), out}), 0);
        QVERIFY(samePixels(page_->editedPictures().at(0), loadPicture(out.toStdString())));
    }

    void stampsAndFramesKeepMagentaSeeThrough()
    {
        const DibPicture base = noise(64, 80, 5);
        page_->setPictures({base}, 20000);
        click("stampToolButton");
        QTest::mouseClick(page_->canvas(), Qt::LeftButton, {}, at(20, 20));
        const DibPicture stamped = working();
        const QPixmap thumb = child<QListWidget>("stampList")->item(0)->icon().pixmap(32, 32);
        int open = 0, covered = 0;
        const QImage stampImage = thumb.toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const int px = 20 - 16 + x, py = 20 - 16 + y;
                if (px < 0 || py < 0)
                    continue;
                const QRgb s = stampImage.pixel(x, y);
                if (qAlpha(s) == 0) {
                    QCOMPARE(rgbAt(stamped, px, py), rgbAt(base, px, py));
                    ++open;
                } else {
                    QCOMPARE(rgbAt(stamped, px, py), (Rgb{qRed(s), qGreen(s), qBlue(s)}));
                    ++covered;
                }
            }
        QVERIFY(open > 100 && covered > 100);

        // A frame drawn at 128 x 160 is laid over this 64 x 80 picture, its middle open.
        click("frameToolButton");
        auto* frames = child<QListWidget>("frameList");
        QVERIFY(frames->count() >= 3);
        QTest::mouseClick(frames->viewport(), Qt::LeftButton, {}, frames->visualItemRect(frames->item(0)).center());
        QCOMPARE(rgbAt(working(), 32, 40), rgbAt(stamped, 32, 40));
        QVERIFY(rgbAt(working(), 0, 0) != rgbAt(stamped, 0, 0));
        QCOMPARE(page_->history().state(0).edits.size(), std::size_t(2));
    }

    void applyToAllEditsTheWholeSet()
    {
        page_->setPictures({noise(16, 12, 1), noise(16, 12, 2), noise(16, 12, 3)}, 30000);
        QVERIFY(child<QComboBox>("pictureChooser")->isVisible());
        page_->showPicture(1);
        click("rotateRightButton");
        page_->selectTool(EditPicturePage::Tool::Pen);
        QTest::mouseClick(page_->canvas(), Qt::LeftButton, {}, at(2, 2));
        click("applyAllButton");
        const std::vector<DibPicture> all = page_->editedPictures();
        for (std::size_t i = 0; i < 3; ++i) {
            QCOMPARE(all[i].width(), 12u);
            QCOMPARE(page_->history().state(i).edits.size(), std::size_t(2));
        }
        QCOMPARE(rgbAt(all[0], 2, 2), rgbAt(all[1], 2, 2));
        QVERIFY(!samePixels(all[0], all[2]));
        click("undoButton"); // one step for the whole set
        QCOMPARE(page_->history().state(0).picture.width(), 16u);
        QCOMPARE(page_->history().state(1).picture.width(), 12u);

        page_->setPictures({noise(4, 4, 1)}, 20000);
        QVERIFY(!child<QToolButton>("applyAllButton")->isEnabled());
        QVERIFY(!child<QComboBox>("pictureChooser")->isVisible());
    }

    void zoomOffersWhatTheLadderAllows()
    {
        page_->setPictures({noise(128, 160, 9)}, 20000);
        auto* zoomIn = child<QToolButton>("zoomInButton");
        auto* zoomOut = child<QToolButton>("zoomOutButton");
        auto* move = child<QToolButton>("moveToolButton");
        QVERIFY(zoomIn->isEnabled() && zoomOut->isEnabled());
        QVERIFY(!move->isEnabled()); // 128 x 160 fits the view at 1.0
        while (zoomIn->isEnabled())
            click("zoomInButton");
        QCOMPARE(page_->zoom().factor, 5.0);
        QVERIFY(move->isEnabled());
        click("moveToolButton");
        QVERIFY(page_->canvas()->moveTool());
        const QPoint before = page_->canvas()->pictureOrigin();
        QTest::mousePress(page_->canvas(), Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(page_->canvas(), QPoint(140, 70));
        QTest::mouseRelease(page_->canvas(), Qt::LeftButton, {}, QPoint(140, 70));
        // 800 pixels tall exceed the view and move freely; across, 640 pixels move only as
        // far as they exceed the view on each side.
        const int dx = std::min(40, std::max(0, (640 - page_->canvas()->width()) / 2));
        QCOMPARE(page_->canvas()->pictureOrigin(), before + QPoint(dx, -30));
        QVERIFY(!page_->history().canUndo()); // moving the view is no edit

        while (zoomOut->isEnabled())
            click("zoomOutButton");
        QCOMPARE(page_->zoom().factor, 0.05);
        QVERIFY(zoomIn->isEnabled());
        QVERIFY(!move->isEnabled() && !move->isChecked());
        QVERIFY(!page_->canvas()->moveTool());

        click("fitButton"); // a picture that fits is shown at its own size
        QCOMPARE(page_->zoom().factor, 1.0);
        QVERIFY(zoomIn->isEnabled() && zoomOut->isEnabled() && !move->isEnabled());

        // A picture larger than the view shrinks to fill it along one side.
        page_->setPictures({noise(1000, 2000, 9)}, 20000);
        QVERIFY(move->isEnabled());
        click("moveToolButton");
        click("fitButton");
        QVERIFY(!move->isEnabled() && !move->isChecked());
        const QSize view = page_->canvas()->size();
        const long fittedHeight = std::lround(2000 * page_->zoom().factor); // integer sizes may lose a pixel
        QVERIFY(fittedHeight <= view.height() && fittedHeight >= view.height() - 2);
        QVERIFY(std::lround(1000 * page_->zoom().factor) <= view.width());
    }

    void noPicturesOfferNoEdits()
    {
        page_->setPictures({}, 20000);
        QVERIFY(!child<QToolButton>("rotateLeftButton")->isEnabled());
        QVERIFY(!child<QPushButton>("nextButton")->isEnabled());
        page_->rotateLeft();
        page_->applyToAll();
        QTest::mouseClick(page_->canvas(), Qt::LeftButton);
        QVERIFY(!page_->history().canUndo());
    }
};

QTEST_MAIN(EditPicturePageTest)
#include "EditPicturePageTest.moc"
