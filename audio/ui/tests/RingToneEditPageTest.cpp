// The ring-tone page on the real editor, channel filter and converter, playing through a
// manual timer into a recording MIDI output: its buttons, its slider, the channel boxes,
// "下一步" making SMAF the player accepts, and refusals that leave the page usable.
#include "SmfBuilder.h"
#include "orka/audio/midi/AudioStrings.h"
#include "orka/audio/ui/QXRingSlider.h"
#include "orka/audio/ui/RingToneEditPage.h"
#include "orka/platform/MidiOut.h"
#include "orka/platform/PeriodicTimer.h"
#include "orka/smaf/SmafSequencer.h"
#include "orka/smaf/Synthesizer.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace orka::test;
using orka::audio::midi::CMidiPlayer;
using orka::audio::ui::QXRingSlider;
using orka::audio::ui::RingToneEditPage;

Q_DECLARE_METATYPE(std::vector<std::uint8_t>)

namespace {

// 480 ticks per quarter at 120 bpm: a melody on channel 1 at volume 100 and drums on 10 at 90.
Bytes melodyWithDrums()
{
    return smf(1, 480,
               {trackData({{0, setTempo(500000)}, {0, endOfTrack()}}),
                trackData({{0, program(0, 5)}, {0, control(0, 7, 100)}, {0, noteOn(0, 60, 100)}, {480, noteOff(0, 60)},
                           {0, noteOn(0, 62, 100)}, {480, noteOff(0, 62)}, {0, noteOn(0, 64, 100)}, {480, noteOff(0, 64)},
                           {0, endOfTrack()}}),
                trackData({{0, control(9, 7, 90)}, {0, noteOn(9, 36, 100)}, {240, noteOff(9, 36)}, {0, noteOn(9, 38, 100)}, {240, noteOff(9, 38)},
                           {0, endOfTrack()}})});
}

struct Page {
    Page()
    {
        qputenv("ORKA_HOME", home.path().toUtf8());
        auto manual = std::make_unique<orka::platform::ManualTimer>();
        timer = manual.get();
        recording = std::make_shared<orka::platform::MidiRecording>([this] { return timer->nowMs(); });
        page = std::make_unique<RingToneEditPage>(std::move(manual),
                                                  [rec = recording] { return orka::platform::openRecordingMidiOut(rec); });
        page->resize(640, 480);
        page->show();
    }

    template <class T> T* find(const char* name) const
    {
        T* w = page->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    void click(const char* name) const { QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton); }
    QString text(const char* name) const { return find<QLabel>(name)->text(); }

    // The Control Change 7 values sent to a channel, in order.
    QList<int> volumesSent(int channel) const
    {
        QList<int> out;
        for (const auto& m : recording->messages())
            if ((m.message & 0xFF) == std::uint32_t(0xB0 | channel) && ((m.message >> 8) & 0x7F) == 7)
                out.append(int((m.message >> 16) & 0x7F));
        return out;
    }

    QTemporaryDir home;
    orka::ui::PromptScript prompts;
    orka::platform::ManualTimer* timer = nullptr;
    std::shared_ptr<orka::platform::MidiRecording> recording;
    std::unique_ptr<RingToneEditPage> page;
};

Bytes readSample(const char* relative)
{
    QFile file(qEnvironmentVariable("ORKA_SOURCE_DIR") + QLatin1Char('/') + QLatin1String(relative));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing sample %s", relative);
    const QByteArray bytes = file.readAll();
    return Bytes(bytes.begin(), bytes.end());
}

} // namespace

class RingToneEditPageTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<std::vector<std::uint8_t>>(); }

    void openingShowsTheSongAndItsChannels()
    {
        Page p;
        QVERIFY(!p.find<QPushButton>("nextButton")->isEnabled()); // nothing to make yet
        p.page->setSong(melodyWithDrums(), QStringLiteral("scale.mid"));
        QCOMPARE(p.page->windowTitle(), QStringLiteral("精靈 - 鈴聲編輯"));
        QCOMPARE(p.text("songNameLabel"), QStringLiteral("scale.mid"));
        QCOMPARE(p.text("lengthLabel"), QStringLiteral("<1440>"));
        QCOMPARE(p.text("timeLabel"), QStringLiteral("00:00"));
        QCOMPARE(p.text("bpmLabel"), QStringLiteral("120"));
        // The filter found channels 1 and 10 only.
        for (int ch = 0; ch < 16; ++ch)
            QCOMPARE(p.page->channelBox(ch)->isChecked(), ch == 0 || ch == 9);
        QCOMPARE(p.page->slider()->maximum(), 1440.0);
        QCOMPARE(p.page->slider()->rangeEnd(), 1440.0);
        QCOMPARE(p.page->slider()->minimumRangeLength(), 960.0); // one second
        QCOMPARE(p.page->editor().rangeEnd(), 1440);
        QVERIFY(!p.text("sizeLabel").isEmpty());
        QVERIFY(p.find<QPushButton>("nextButton")->isEnabled());
        QVERIFY(p.prompts.texts().isEmpty());
    }

    void tempoButtonsStepAndShowBeatsPerMinute()
    {
        Page p;
        p.page->setSong(melodyWithDrums(), {});
        p.click("tempoUpButton");
        QCOMPARE(p.text("bpmLabel"), QStringLiteral("132")); // 60000000 / trunc(500000 / 1.1)
        for (int i = 0; i < 15; ++i)
            p.click("tempoUpButton");
        QCOMPARE(p.page->editor().tempoFactor(), 2.0f);
        QCOMPARE(p.text("bpmLabel"), QStringLiteral("240"));
        for (int i = 0; i < 25; ++i)
            p.click("tempoDownButton");
        QCOMPARE(p.page->editor().tempoFactor(), 0.1f); // never 0
        QCOMPARE(p.text("bpmLabel"), QStringLiteral("12"));
    }

    void volumeButtonsStopBelowTheLoudestChannel()
    {
        Page p;
        p.page->setSong(melodyWithDrums(), {});
        p.recording->clear();
        p.click("volumeUpButton");
        p.click("volumeUpButton");
        p.click("volumeUpButton"); // channel 1 at 100 would pass 127: shown, not sent
        QCOMPARE(p.text("volumeLabel"), QStringLiteral("130"));
        QCOMPARE(p.volumesSent(0), (QList<int>{110, 120}));
        QCOMPARE(p.page->editor().volumeCeiling(), 120);
        p.click("volumeDownButton");
        QCOMPARE(p.volumesSent(0), (QList<int>{110, 120, 120}));
        QCOMPARE(p.text("volumeLabel"), QStringLiteral("120"));
    }

    void playbackFollowsTheTimer()
    {
        Page p;
        p.page->setSong(melodyWithDrums(), {});
        QVERIFY(!p.find<QPushButton>("stopButton")->isEnabled());
        p.click("playPauseButton");
        QCOMPARE(p.page->editor().player().state(), int(CMidiPlayer::Playing));
        p.timer->advance(1100); // 0.96 ticks a millisecond: past a second of play
        QCOMPARE(p.text("timeLabel"), QStringLiteral("00:01"));
        QVERIFY(p.text("positionLabel").toInt() >= 959 && p.text("positionLabel").toInt() < 1056);
        QCOMPARE(p.page->slider()->position(), double(p.text("positionLabel").toInt()));
        p.click("playPauseButton");
        QCOMPARE(p.page->editor().playState(), int(CMidiPlayer::Paused));
        p.click("stopButton");
        QCOMPARE(p.page->editor().player().state(), int(CMidiPlayer::Stopped));
        QCOMPARE(p.text("timeLabel"), QStringLiteral("00:00"));

        // A range play ends by itself at the range end and comes back to the range start.
        QXRingSlider* slider = p.page->slider();
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_Right, Qt::ShiftModifier); // start 0 -> 14
        QCOMPARE(p.page->editor().rangeStart(), 14);
        p.click("playRangeButton");
        QCOMPARE(p.page->editor().rangeMode(), 2);
        for (int i = 0; i < 3000 && p.page->editor().player().state() == CMidiPlayer::Playing; ++i)
            p.timer->advance(1);
        QCOMPARE(p.page->editor().playState(), int(CMidiPlayer::Stopped));
        QCOMPARE(p.text("positionLabel"), QStringLiteral("14"));
    }

    void sliderDragsSetTheRangeAndTheSize()
    {
        Page p;
        p.page->setSong(melodyWithDrums(), {});
        const QString wholeSize = p.text("sizeLabel");
        const QString wholeCounts = p.text("notesLabel");
        QXRingSlider* slider = p.page->slider();
        const QPoint end = slider->partRect(QXRingSlider::Part::EndMarker).center();
        QTest::mousePress(slider, Qt::LeftButton, {}, end);
        QTest::mouseMove(slider, QPoint(0, end.y()));
        QCOMPARE(p.page->editor().rangeEnd(), 960); // held at one second past the start
        QCOMPARE(p.text("notesLabel"), wholeCounts); // the ring tone is worked out on release only
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(0, end.y()));
        QVERIFY(p.text("notesLabel") != wholeCounts); // fewer notes in the range
        QVERIFY(p.text("sizeLabel").toDouble() <= wholeSize.toDouble());

        // A click on the track moves the shown position.
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 1, slider->height() - 1));
        QVERIFY(slider->position() > 1400);
        QCOMPARE(p.page->editor().shownPosition(), slider->position());
        QCOMPARE(p.text("positionLabel"), QString::number(int(slider->position())));
    }

    void movingThePositionDuringPlaySeeks()
    {
        Page p;
        p.page->setSong(melodyWithDrums(), {});
        QXRingSlider* slider = p.page->slider();
        p.click("playPauseButton");
        p.timer->advance(100);
        // The thumb dragged while playing: the player goes on undisturbed until it is let go.
        const QPoint thumb = slider->partRect(QXRingSlider::Part::Thumb).center();
        QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
        const int middle = slider->markerWidth() + slider->trackWidth() / 2;
        QTest::mouseMove(slider, QPoint(middle, thumb.y()));
        QVERIFY(p.page->editor().player().position() < 100);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(middle, thumb.y()));
        QCOMPARE(p.page->editor().player().state(), int(CMidiPlayer::Playing));
        QVERIFY(qAbs(p.page->editor().player().position() - 720) <= 2);
        QCOMPARE(p.text("positionLabel"), QString::number(int(slider->position())));

        // Keys move a sounding song at once.
        QTest::keyClick(slider, Qt::Key_End);
        QVERIFY(p.page->editor().player().position() >= 1439);

        // Paused, a click on the track moves the point the play goes on from.
        p.click("playPauseButton");
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(2 * slider->markerWidth(), slider->height() - 1));
        QCOMPARE(p.page->editor().player().state(), int(CMidiPlayer::Stopped));
        p.click("playPauseButton");
        QVERIFY(p.page->editor().player().position() <= 1);
    }

    void channelBoxesChangeTheFilter()
    {
        Page p;
        p.page->setSong(melodyWithDrums(), {});
        auto* apply = p.find<QPushButton>("applyChannelsButton");
        QVERIFY(!apply->isEnabled()); // nothing changed yet
        p.page->channelBox(9)->setChecked(false);
        QVERIFY(apply->isEnabled());
        QTest::mouseClick(apply, Qt::LeftButton);
        QCOMPARE(p.page->editor().channelSelection()[9], 0u);
        QVERIFY(!p.page->editor().player().song().channels[9].hasNotes);
        QVERIFY(p.page->editor().player().song().channels[0].hasNotes);
        QVERIFY(!apply->isEnabled());
        QVERIFY(p.prompts.texts().isEmpty());

        // No channel left: the range is reset to the whole song, and nothing can be played or made.
        p.page->channelBox(0)->setChecked(false);
        QTest::mouseClick(apply, Qt::LeftButton);
        QCOMPARE(p.prompts.texts(), QStringList{orka::ui::uiText(orka::audio::midi::kIdRangeReset)});
        QVERIFY(!p.find<QPushButton>("playRangeButton")->isEnabled());
        QVERIFY(!p.find<QPushButton>("nextButton")->isEnabled());
    }

    void nextMakesSmafFromARealSong()
    {
        Page p;
        QSignalSpy made(p.page.get(), &RingToneEditPage::ringToneMade);
        p.page->setSong(readSample("fuzz/qmix/corpus/real_song.mid"), QStringLiteral("real_song.mid"));
        p.click("nextButton");
        QCOMPARE(made.size(), 1);
        QVERIFY2(p.prompts.texts().isEmpty(), qPrintable(p.prompts.texts().join(QLatin1Char('\n'))));
        const auto smaf = made.at(0).at(0).value<std::vector<std::uint8_t>>();
        orka::smaf::Synthesizer synth{std::span<const std::uint8_t>{}};
        orka::smaf::SmafSequencer sequencer(synth);
        sequencer.setData(smaf);
        QVERIFY(sequencer.prepare());
        QVERIFY(!sequencer.events().empty());
        QCOMPARE(p.text("sizeLabel"), QString::number(smaf.size() / 1024.0, 'f', 2));

        // What the filter kept, and its log a click away.
        const auto counts = p.page->editor().noteCounts();
        QVERIFY(counts);
        QCOMPARE(p.text("notesLabel"), orka::ui::uiFormat(orka::audio::ui::kStrNotesKept,
                                                          {QString::number(counts->kept), QString::number(counts->total)}));
        p.click("logButton");
        QWidget* log = p.page->filterLogWindow();
        QVERIFY(log && log->isVisible());
        QCOMPARE(log->findChild<QPlainTextEdit*>(QStringLiteral("logText"))->toPlainText(),
                 orka::ui::fromUtf8(p.page->editor().filterLog()));
    }

    void filterRefusalLeavesThePageUsable()
    {
        Page p;
        // Format 2: the player takes it, the channel filter does not.
        const Bytes song = smf(2, 96, {trackData({{0, noteOn(0, 60, 100)}, {960, noteOff(0, 60)}, {0, endOfTrack()}})});
        p.page->setSong(song, {});
        p.page->channelBox(3)->setChecked(false);
        p.click("applyChannelsButton");
        QCOMPARE(p.prompts.texts(), QStringList{orka::ui::uiText(orka::audio::midi::kIdConversionFailed)});
        // The song is as it was, and it still plays.
        QCOMPARE(p.page->editor().workingSong(), song);
        p.click("playPauseButton");
        QCOMPARE(p.page->editor().player().state(), int(CMidiPlayer::Playing));
        p.click("stopButton");
    }

    void converterRefusalIsShownAndThePageStaysUsable()
    {
        Page p;
        QSignalSpy made(p.page.get(), &RingToneEditPage::ringToneMade);
        // Only a sample-voice channel and no ADPCM bank: the converter finds nothing to play.
        p.page->setSong(readSample("fuzz/melconv/corpus/adpcm.mid"), {});
        QCOMPARE(p.text("sizeLabel"), QString()); // no size without a ring tone
        p.click("nextButton");
        QCOMPARE(made.size(), 0);
        QCOMPARE(p.prompts.texts().size(), 1);
        const QString shown = p.prompts.texts().constFirst();
        QVERIFY2(shown.startsWith(orka::ui::uiText(orka::audio::midi::kIdConvertFileFailed) + QLatin1Char('\n')) &&
                     shown.contains(QStringLiteral("No Effective MIDI data.")),
                 qPrintable(shown));
        // Still a page to work on: it plays, and a ring tone of another song can be made.
        p.click("playPauseButton");
        QCOMPARE(p.page->editor().player().state(), int(CMidiPlayer::Playing));
        p.page->setSong(melodyWithDrums(), {});
        p.click("nextButton");
        QCOMPARE(made.size(), 1);
    }

    // The system timer's thread: its ticks reach the page through the event loop, and a page
    // closed while playing stops the timer before it goes.
    void systemTimerTicksArePostedToThePage()
    {
        QTemporaryDir home;
        qputenv("ORKA_HOME", home.path().toUtf8());
        auto recording = std::make_shared<orka::platform::MidiRecording>();
        auto page = std::make_unique<RingToneEditPage>(
            nullptr, [recording] { return orka::platform::openRecordingMidiOut(recording); });
        page->setSong(melodyWithDrums(), {});
        page->findChild<QPushButton*>(QStringLiteral("playPauseButton"))->click();
        auto* position = page->findChild<QLabel*>(QStringLiteral("positionLabel"));
        QTRY_VERIFY_WITH_TIMEOUT(position->text().toInt() > 0, 5000);
        QVERIFY(!recording->messages().empty());
        page.reset();
    }

    void backStopsPlayAndAsksForTheFile()
    {
        Page p;
        p.page->setSong(melodyWithDrums(), {});
        QSignalSpy back(p.page.get(), &RingToneEditPage::backRequested);
        p.click("playPauseButton");
        p.click("backButton");
        QCOMPARE(back.size(), 1);
        QCOMPARE(p.page->editor().player().state(), int(CMidiPlayer::Stopped));
        QVERIFY(!p.page->editor().player().timerRunning());
    }
};

QTEST_MAIN(RingToneEditPageTest)
#include "RingToneEditPageTest.moc"
