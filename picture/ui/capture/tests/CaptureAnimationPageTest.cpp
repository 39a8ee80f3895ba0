// The capture animation page on real widgets: refused files, the three rules and their
// pushed buttons, playback on its thread with the commands it disables, zoom and the effect,
// and the five frames handed on.
#include "orka/picture/ui/CaptureAnimationPage.h"

#include "../src/PicturePreview.h"
#include "orka/app/ItemPictures.h"
#include "orka/picture/GifCodec.h"
#include "orka/picture/PictureFile.h"
#include "orka/ui/UserPrompts.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace orka;
using orka::picture::ui::CaptureAnimationPage;

Q_DECLARE_METATYPE(orka::app::AnimationContent)

namespace {

// Frame i is a solid 64 x 80 picture of grey level 20 * i.
std::vector<std::uint8_t> animationBytes(const std::vector<int>& delays)
{
    std::vector<DibPicture> frames;
    for (std::size_t i = 0; i < delays.size(); ++i) {
        DibPicture p(64, 80, 3);
        std::fill(p.pixels(), p.pixels() + p.pixelBytes(), std::uint8_t(20 * i));
        frames.push_back(std::move(p));
    }
    return encodeAnimationGif(frames, delays);
}

QStringList captions(const QListWidget* strip)
{
    QStringList out;
    for (int i = 0; i < strip->count(); ++i)
        out << strip->item(i)->text();
    return out;
}

} // namespace

class CaptureAnimationPageTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QString write(const QString& name, const std::vector<std::uint8_t>& bytes)
    {
        const QString path = dir_.filePath(name);
        writePictureFile(path.toStdString(), bytes);
        return path;
    }
    template <typename T>
    static T* child(const QWidget& page, const char* name)
    {
        return page.findChild<T*>(QString::fromLatin1(name));
    }

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<orka::app::AnimationContent>(); }

    void refusedFilesLeaveThePageUsable()
    {
        orka::ui::PromptScript prompts;
        CaptureAnimationPage page;
        const QString five = write(QStringLiteral("five.gif"), animationBytes({10, 10, 10, 10, 10}));
        QVERIFY(page.setSourceFile(five));
        QVERIFY(!page.setSourceFile(write(QStringLiteral("four.gif"), animationBytes({10, 10, 10, 10}))));
        QVERIFY(!page.setSourceFile(write(QStringLiteral("picture.gif"), encodePicture(DibPicture(8, 8, 3), PictureFormat::Bmp))));
        // A 16000 x 16000 screen of six frames would need gigabytes once decoded.
        GifWriter huge;
        const std::vector<GifColor> table = {{0, 0, 0, 0}, {255, 255, 255, 0}};
        huge.putScreen(16000, 16000, table, 0);
        for (int i = 0; i < 6; ++i) {
            huge.putGraphicControl(1, false, 10, -1);
            huge.putImageDescriptor(0, 0, 1, 1, {}, false);
            huge.putPixelLine(std::vector<std::uint8_t>{1});
        }
        QVERIFY(!page.setSourceFile(write(QStringLiteral("huge.gif"), huge.finish())));
        QCOMPARE(prompts.texts(), (QStringList{QStringLiteral("非有效動畫檔案，畫格數少於5。"),
                                              QStringLiteral("檔案格式不正確."), QStringLiteral("記憶體不足.")}));
        QCOMPARE(page.sourceFile(), five);
        QCOMPARE(page.frameCount(), 5);
        QCOMPARE(child<QListWidget>(page, "allFramesList")->count(), 5);
        QVERIFY(child<QToolButton>(page, "playButton")->isEnabled());
    }

    void fiveFramesAreHandedOnAtTheAnimationSize()
    {
        CaptureAnimationPage page;
        QSignalSpy captured(&page, &CaptureAnimationPage::animationCaptured);
        // 300 hundredths cannot be kept in the item's one-byte frame value: it is held at 255.
        QVERIFY(page.setSourceFile(write(QStringLiteral("five.gif"), animationBytes({10, 20, 30, 40, 300}))));
        QTest::mouseClick(child<QPushButton>(page, "nextButton"), Qt::LeftButton);
        QCOMPARE(captured.size(), 1);
        const auto content = captured.at(0).at(0).value<orka::app::AnimationContent>();
        QCOMPARE(content.frames.size(), std::size_t(5));
        const int values[] = {10, 20, 30, 40, 255};
        for (std::size_t i = 0; i < 5; ++i) {
            const app::Bitmap& b = content.frames[i].bitmap;
            QCOMPARE(int(b.width), 128);
            QCOMPARE(int(b.height), 160);
            QCOMPARE(int(content.frames[i].value), values[i]);
            // The 64 x 80 frame fills the item exactly when doubled; its grey level stays.
            const DibPicture p = app::pictureFromBitmap(b);
            QCOMPARE(int(p.row(80)[3 * 64]), int(20 * i));
        }
    }

    void rulesPushTheirButtonAndChooseTheirFrames()
    {
        orka::ui::PromptScript prompts;
        CaptureAnimationPage page;
        QSignalSpy captured(&page, &CaptureAnimationPage::animationCaptured);
        QVERIFY(page.setSourceFile(write(QStringLiteral("twelve.gif"), animationBytes(std::vector<int>(12, 5)))));
        // Twelve frames and no rule yet: the user must choose one first.
        QTest::mouseClick(child<QPushButton>(page, "nextButton"), Qt::LeftButton);
        QCOMPARE(prompts.texts(), QStringList{QStringLiteral("請先選擇一種選取畫格的方式。")});
        QCOMPARE(captured.size(), 0);

        auto* first = child<QToolButton>(page, "firstFiveButton");
        auto* count = child<QToolButton>(page, "averageCountButton");
        auto* time = child<QToolButton>(page, "averageTimeButton");
        auto* chosen = child<QListWidget>(page, "chosenFramesList");
        QVERIFY(chosen->count() == 0);
        QTest::mouseClick(count, Qt::LeftButton);
        QVERIFY(count->isChecked() && !first->isChecked() && !time->isChecked());
        QCOMPARE(captions(chosen), (QStringList{"畫格 1", "畫格 3", "畫格 5", "畫格 8", "畫格 10"}));
        // The mode in force again: nothing changes and the button stays down.
        QTest::mouseClick(count, Qt::LeftButton);
        QVERIFY(count->isChecked());
        QTest::mouseClick(time, Qt::LeftButton);
        QVERIFY(time->isChecked() && !count->isChecked());
        QCOMPARE(captions(chosen), (QStringList{"畫格 3", "畫格 5", "畫格 8", "畫格 10", "畫格 12"}));
        QTest::mouseClick(first, Qt::LeftButton);
        QCOMPARE(page.shownFrame(), 0);
        QTest::mouseClick(child<QPushButton>(page, "nextButton"), Qt::LeftButton);
        QCOMPARE(captured.size(), 1);

        page.resetTools();
        QVERIFY(!first->isChecked());
        QCOMPARE(chosen->count(), 0);
        QVERIFY(!page.selector().selection());
        // A new file forgets the rule too.
        QTest::mouseClick(count, Qt::LeftButton);
        QVERIFY(page.setSourceFile(write(QStringLiteral("again.gif"), animationBytes(std::vector<int>(6, 5)))));
        QVERIFY(!count->isChecked());
        QCOMPARE(chosen->count(), 0);
    }

    void playbackRunsOnItsThreadWithCommandsDisabled()
    {
        CaptureAnimationPage page;
        page.show();
        QVERIFY(page.setSourceFile(write(QStringLiteral("play.gif"), animationBytes({2, 2, 2, 2, 2, 2, 2}))));
        auto* play = child<QToolButton>(page, "playButton");
        auto* stop = child<QToolButton>(page, "stopButton");
        QVERIFY(play->isEnabled() && !stop->isEnabled());
        QTest::mouseClick(child<QToolButton>(page, "averageCountButton"), Qt::LeftButton);
        QTest::mouseClick(play, Qt::LeftButton);
        QVERIFY(page.playing());
        QVERIFY(!play->isEnabled() && stop->isEnabled());
        for (const char* name : {"firstFiveButton", "averageCountButton", "averageTimeButton", "effectButton", "openButton"})
            QVERIFY2(!child<QToolButton>(page, name)->isEnabled(), name);
        QVERIFY(!child<QPushButton>(page, "nextButton")->isEnabled());
        // The played list is the chosen five (frames 0, 1, 2, 4, 5 of seven); each shows in turn.
        QSet<int> seen;
        QTRY_VERIFY_WITH_TIMEOUT((seen.insert(page.shownFrame()), seen.size() == 5), 5000);
        QVERIFY(!seen.contains(3) && !seen.contains(6));
        QTest::mouseClick(stop, Qt::LeftButton);
        QVERIFY(!page.playing());
        QVERIFY(play->isEnabled() && !stop->isEnabled());
        QVERIFY(child<QToolButton>(page, "firstFiveButton")->isEnabled());
        // Hiding the page ends playback as well.
        QTest::mouseClick(play, Qt::LeftButton);
        page.hide();
        QVERIFY(!page.playing());
    }

    void zoomStepsAndTheShrinkThenEnlargeEffect()
    {
        CaptureAnimationPage page;
        page.resize(800, 700);
        page.show();
        QVERIFY(page.setSourceFile(write(QStringLiteral("zoom.gif"), animationBytes({5, 5, 5, 5, 5}))));
        auto* zoomIn = child<QToolButton>(page, "zoomInButton");
        auto* zoomOut = child<QToolButton>(page, "zoomOutButton");
        QTest::mouseClick(zoomIn, Qt::LeftButton);
        QCOMPARE(page.zoom(), 1.25);
        for (int i = 0; i < 5; ++i)
            QTest::mouseClick(zoomIn, Qt::LeftButton);
        QCOMPARE(page.zoom(), 5.0);
        QVERIFY(!zoomIn->isEnabled());
        for (int i = 0; i < 20 && zoomOut->isEnabled(); ++i)
            QTest::mouseClick(zoomOut, Qt::LeftButton);
        QCOMPARE(page.zoom(), 0.05);
        QTest::mouseClick(child<QToolButton>(page, "fitButton"), Qt::LeftButton);
        QCOMPARE(page.zoom(), 1.0); // the 64 x 80 frame fits the view as it is
        QVERIFY(zoomIn->isEnabled() && zoomOut->isEnabled());

        auto* preview = page.findChild<orka::picture::ui::PicturePreview*>();
        QTest::mouseClick(child<QToolButton>(page, "effectButton"), Qt::LeftButton);
        QVERIFY(preview->image().width() < 64);
        QVERIFY(!child<QToolButton>(page, "playButton")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(preview->image().width(), 64, 3000);
        QTRY_VERIFY(child<QToolButton>(page, "playButton")->isEnabled());
    }
};

std::unique_ptr<QObject> makeCaptureAnimationPageTest()
{
    return std::make_unique<CaptureAnimationPageTest>();
}

#include "CaptureAnimationPageTest.moc"
