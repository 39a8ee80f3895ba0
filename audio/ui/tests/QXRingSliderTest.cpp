// The range slider under a real pointer and keyboard: the drag rules at their limits, the
// value rule's offsets, the notifications each gesture sends, hover looks and the
// accessible value.
#include "orka/audio/ui/QXRingSlider.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QSignalSpy>
#include <QTest>

using orka::audio::ui::QXRingSlider;
using orka::audio::ui::RangeChange;
using Part = QXRingSlider::Part;

namespace {

// 0 ... 1000 ticks on a 180-pixel track (200 pixels less two markers of 10).
struct Fixture {
    Fixture()
    {
        slider.resize(200, 40);
        slider.setRange(1000, 0);
        slider.setMarkers(200, 800);
        slider.setMinimumRangeLength(100);
        slider.show();
    }

    // (code, value) of every notification so far.
    QList<QPair<int, double>> sent() const
    {
        QList<QPair<int, double>> out;
        for (const auto& args : spy)
            out.append({args.at(0).toInt(), args.at(1).toDouble()});
        return out;
    }
    QList<int> codes() const
    {
        QList<int> out;
        for (const auto& args : spy)
            out.append(args.at(0).toInt());
        return out;
    }

    void drag(Part part, int toX)
    {
        const QPoint from = slider.partRect(part).center();
        QTest::mousePress(&slider, Qt::LeftButton, {}, from);
        QTest::mouseMove(&slider, QPoint(toX, from.y()));
        QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(toX, from.y()));
    }

    QXRingSlider slider;
    QSignalSpy spy{&slider, &QXRingSlider::midiRangeChanged};
};

constexpr int kStart = int(RangeChange::StartDragged);
constexpr int kEnd = int(RangeChange::EndDragged);
constexpr int kRange = int(RangeChange::RangeDragged);
constexpr int kPosition = int(RangeChange::PositionMoved);
constexpr int kTrack = int(RangeChange::TrackClicked);
constexpr int kReleased = int(RangeChange::DragEnded);

} // namespace

class QXRingSliderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rangeTakesEitherOrder()
    {
        Fixture f;
        QCOMPARE(f.slider.minimum(), 0.0);
        QCOMPARE(f.slider.maximum(), 1000.0);
        QCOMPARE(f.slider.trackWidth(), 180);
        // A shorter song pulls markers and position back onto the track.
        f.slider.setPosition(900);
        f.slider.setRange(0, 500);
        QCOMPARE(f.slider.rangeEnd(), 500.0);
        QCOMPARE(f.slider.position(), 500.0);
    }

    void valueRuleCountsFromEachPartsMiddle()
    {
        Fixture f;
        using M = QXRingSlider::DragMode;
        // Half the track is 90 pixels: 500 ticks once each part's offset is taken off.
        QCOMPARE(f.slider.valueAt(5 + 90, M::Start), 500.0);
        QCOMPARE(f.slider.valueAt(15 + 90, M::End), 500.0);
        QCOMPARE(f.slider.valueAt(10 + 90, M::Range), 500.0);
        QCOMPARE(f.slider.valueAt(10 + 90, M::Position), 500.0);
        QCOMPARE(f.slider.valueAt(20 + 90, M::None), 500.0);
    }

    void startMarkerStopsShortOfTheEnd()
    {
        Fixture f;
        f.drag(Part::StartMarker, 195); // far past the end marker
        QCOMPARE(f.slider.rangeStart(), 700.0); // end 800 less the minimum range of 100
        QCOMPARE(f.slider.rangeEnd(), 800.0);
        QCOMPARE(f.sent().first(), qMakePair(kStart, 700.0));
        QCOMPARE(f.codes().last(), kReleased);
        QCOMPARE(f.slider.dragMode(), QXRingSlider::DragMode::None);

        f.spy.clear();
        f.drag(Part::StartMarker, -40); // left of the track
        QCOMPARE(f.slider.rangeStart(), 0.0);
        QCOMPARE(f.codes(), (QList<int>{kStart, kReleased}));
    }

    void endMarkerKeepsTheMinimumAndTheMaximum()
    {
        Fixture f;
        f.drag(Part::EndMarker, 0);
        QCOMPARE(f.slider.rangeEnd(), 300.0); // start 200 plus the minimum range
        f.drag(Part::EndMarker, 400);
        QCOMPARE(f.slider.rangeEnd(), 1000.0);
        QCOMPARE(f.codes(), (QList<int>{kEnd, kReleased, kEnd, kReleased}));
    }

    void wholeRangeMovesTogetherAndStopsAtTheEnds()
    {
        Fixture f;
        const QPoint in = f.slider.rangeBandRect().center();
        QTest::mousePress(&f.slider, Qt::LeftButton, {}, in);
        QCOMPARE(f.slider.dragMode(), QXRingSlider::DragMode::Range);
        QTest::mouseMove(&f.slider, in + QPoint(18, 0)); // 100 ticks
        QCOMPARE(f.slider.rangeStart(), 300.0);
        QCOMPARE(f.slider.rangeEnd(), 900.0);
        QTest::mouseMove(&f.slider, in + QPoint(150, 0));
        QCOMPARE(f.slider.rangeEnd(), 1000.0);
        QCOMPARE(f.slider.rangeStart(), 400.0); // the distance is kept
        QTest::mouseRelease(&f.slider, Qt::LeftButton, {}, in + QPoint(150, 0));
        QCOMPARE(f.codes(), (QList<int>{kRange, kRange, kReleased}));
    }

    void thumbPressSendsAtOnceAndDragClamps()
    {
        Fixture f;
        f.slider.setPosition(500);
        const QPoint thumb = f.slider.partRect(Part::Thumb).center();
        QTest::mousePress(&f.slider, Qt::LeftButton, {}, thumb);
        QCOMPARE(f.sent(), (QList<QPair<int, double>>{{kPosition, 500.0}}));
        QCOMPARE(f.slider.look(Part::Thumb), QXRingSlider::Look::Pressed);
        QTest::mouseMove(&f.slider, QPoint(500, thumb.y()));
        QCOMPARE(f.slider.position(), 1000.0);
        QTest::mouseRelease(&f.slider, Qt::LeftButton, {}, QPoint(500, thumb.y()));
        QCOMPARE(f.codes(), (QList<int>{kPosition, kPosition, kReleased}));
        QVERIFY(f.slider.look(Part::Thumb) != QXRingSlider::Look::Pressed);
    }

    void trackClickJumpsAndClampsWithoutARelease()
    {
        Fixture f;
        const int below = f.slider.height() - 2; // under the track, clear of the thumb at 0
        QTest::mouseClick(&f.slider, Qt::LeftButton, {}, QPoint(110, below));
        QCOMPARE(f.slider.position(), 500.0);
        // Left of the minimum: the position stops at the minimum.
        QTest::mouseClick(&f.slider, Qt::LeftButton, {}, QPoint(3, 2));
        QCOMPARE(f.slider.position(), 0.0);
        QCOMPARE(f.sent(), (QList<QPair<int, double>>{{kTrack, 500.0}, {kTrack, 0.0}}));
    }

    void hoverShowsItsLookAndTimer()
    {
        Fixture f;
        QTest::mouseMove(&f.slider, f.slider.partRect(Part::EndMarker).center());
        QCOMPARE(f.slider.look(Part::EndMarker), QXRingSlider::Look::Hover);
        QVERIFY(f.slider.hoverTimerActive(Part::EndMarker));
        QVERIFY(!f.slider.hoverTimerActive(Part::StartMarker));
        QTest::mouseMove(&f.slider, f.slider.partRect(Part::StartMarker).center());
        QCOMPARE(f.slider.look(Part::EndMarker), QXRingSlider::Look::Normal);
        QVERIFY(!f.slider.hoverTimerActive(Part::EndMarker));
        QCOMPARE(f.slider.look(Part::StartMarker), QXRingSlider::Look::Hover);
        QVERIFY(f.spy.isEmpty()); // hovering changes nothing
    }

    void keyboardMovesPositionAndMarkers()
    {
        Fixture f;
        f.slider.setFocus();
        f.slider.setPosition(500);
        QTest::keyClick(&f.slider, Qt::Key_Right);
        QCOMPARE(f.slider.position(), 510.0); // a hundredth of the song
        QTest::keyClick(&f.slider, Qt::Key_PageDown);
        QCOMPARE(f.slider.position(), 410.0);
        QTest::keyClick(&f.slider, Qt::Key_End);
        QCOMPARE(f.slider.position(), 1000.0);
        QCOMPARE(f.codes(), (QList<int>{kPosition, kPosition, kPosition}));

        f.spy.clear();
        QTest::keyClick(&f.slider, Qt::Key_Home);
        QTest::keyClick(&f.slider, Qt::Key_Right, Qt::ShiftModifier); // start 200 -> 210
        QCOMPARE(f.slider.rangeStart(), 210.0);
        QTest::keyClick(&f.slider, Qt::Key_Left, Qt::ControlModifier); // end 800 -> 790
        QCOMPARE(f.slider.rangeEnd(), 790.0);
        f.slider.setPosition(750);
        QTest::keyClick(&f.slider, Qt::Key_BracketLeft); // start to the position: held back
        QCOMPARE(f.slider.rangeStart(), 690.0);
        QCOMPARE(f.codes(), (QList<int>{kPosition, kStart, kReleased, kEnd, kReleased, kStart, kReleased}));
    }

    void accessibleNameAndValue()
    {
        Fixture f;
        f.slider.setAccessibleName(QStringLiteral("截取範圍"));
        f.slider.setPosition(250);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&f.slider);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::Slider);
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("截取範圍"));
        QCOMPARE(a->text(QAccessible::Value), QStringLiteral("250 [200 - 800]"));
        QAccessibleValueInterface* value = a->valueInterface();
        QVERIFY(value);
        QCOMPARE(value->maximumValue().toDouble(), 1000.0);
        value->setCurrentValue(2000.0);
        QCOMPARE(f.slider.position(), 1000.0);
    }
};

QTEST_MAIN(QXRingSliderTest)
#include "QXRingSliderTest.moc"
