#include "SmfBuilder.h"
#include "orka/audio/midi/AudioStrings.h"
#include "orka/audio/midi/RingToneEditor.h"
#include "orka/platform/MidiOut.h"
#include "orka/platform/PeriodicTimer.h"
#include "orka/platform/Resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using namespace orka::test;
using namespace orka::audio::midi;
namespace fs = std::filesystem;

namespace {

struct RecordingView : RingToneEditorView {
    bool showMessage(unsigned id, const std::string& detail) override
    {
        messages.push_back(id);
        details.push_back(detail);
        return answerFirst;
    }
    void postToParent(unsigned message) override { posted.push_back(message); }
    void showChannels(const QmixChannelFlags& flags) override { shown = flags; }
    std::vector<unsigned> messages;
    std::vector<std::string> details;
    std::vector<unsigned> posted;
    QmixChannelFlags shown{};
    bool answerFirst = false;
};

// 480 ticks per quarter; channel 0 melody to tick 1440 with volume 100, drums on 9.
Bytes melody()
{
    return smf(1, 480,
               {trackData({{0, setTempo(500000)}, {0, endOfTrack()}}),
                trackData({{0, program(0, 5)}, {0, control(0, 7, 100)}, {0, noteOn(0, 60, 100)}, {480, noteOff(0, 60)},
                           {0, noteOn(0, 62, 100)}, {480, noteOff(0, 62)}, {0, noteOn(0, 64, 100)}, {480, noteOff(0, 64)},
                           {0, endOfTrack()}}),
                trackData({{0, noteOn(9, 36, 100)}, {240, noteOff(9, 36)}, {0, endOfTrack()}})});
}

class Editor : public ::testing::Test {
protected:
    Editor()
    {
        home_ = fs::temp_directory_path() / ("orka-editor-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(home_);
        ::setenv("ORKA_HOME", home_.c_str(), 1);
        auto timer = std::make_unique<orka::platform::ManualTimer>();
        timer_ = timer.get();
        recording_ = std::make_shared<orka::platform::MidiRecording>([this] { return timer_->nowMs(); });
        editor_ = std::make_unique<RingToneEditor>(std::move(timer), [rec = recording_] { return orka::platform::openRecordingMidiOut(rec); });
        editor_->setView(&view_);
    }
    ~Editor() override
    {
        editor_.reset();
        std::error_code ec;
        fs::remove_all(home_, ec);
    }

    std::vector<std::uint32_t> volumesSent() const
    {
        std::vector<std::uint32_t> out;
        for (const auto& m : recording_->messages())
            if ((m.message & 0xF0) == 0xB0 && ((m.message >> 8) & 0x7F) == 7)
                out.push_back(m.message);
        return out;
    }

    fs::path home_;
    orka::platform::ManualTimer* timer_ = nullptr;
    std::shared_ptr<orka::platform::MidiRecording> recording_;
    RecordingView view_;
    std::unique_ptr<RingToneEditor> editor_;
};

std::uint32_t cc7(int ch, int v) { return static_cast<std::uint32_t>(0xB0 | ch) | (7u << 8) | (static_cast<std::uint32_t>(v) << 16); }

} // namespace

TEST_F(Editor, OpeningDetectsTheChannelsThroughTheFilter)
{
    ASSERT_TRUE(editor_->open(melody()));
    QmixChannelFlags expected{};
    expected[0] = 1;
    expected[9] = 1;
    EXPECT_EQ(editor_->channelSelection(), expected);
    EXPECT_EQ(view_.shown, expected);
    EXPECT_EQ(editor_->player().songLength(), 1440);
    EXPECT_EQ(editor_->player().mode(), CMidiPlayer::kEditorMode);
    EXPECT_EQ(editor_->beatsPerMinute(), 120);
}

TEST_F(Editor, ASongThatDoesNotLoadIsReported)
{
    EXPECT_FALSE(editor_->open(Bytes{'M', 'T', 'h', 'd'}));
    EXPECT_EQ(view_.messages, std::vector<unsigned>{kIdSongNotLoaded});
}

TEST_F(Editor, TempoStepsStayBetweenATenthAndTwo)
{
    ASSERT_TRUE(editor_->open(melody()));
    for (int i = 0; i < 15; ++i)
        editor_->tempoDown();
    EXPECT_FLOAT_EQ(editor_->tempoFactor(), 0.1f);
    EXPECT_EQ(editor_->beatsPerMinute(), 12);
    for (int i = 0; i < 30; ++i)
        editor_->tempoUp();
    EXPECT_FLOAT_EQ(editor_->tempoFactor(), 2.0f);
    EXPECT_FLOAT_EQ(editor_->player().tempoFactor(), 2.0f);
    EXPECT_EQ(editor_->beatsPerMinute(), 240);
}

TEST_F(Editor, OpeningRulesDecideTempoVolumeAndLoopOfTheNextSong)
{
    ASSERT_TRUE(editor_->open(melody()));
    EXPECT_FALSE(editor_->loopOn());
    editor_->tempoUp();
    editor_->volumeDown();
    // By default every song starts at its own tempo and full volume.
    ASSERT_TRUE(editor_->open(melody()));
    EXPECT_FLOAT_EQ(editor_->player().tempoFactor(), 1.0f);
    EXPECT_EQ(editor_->volumePercent(), 100);
    // Without it the steps carry over; auto repeat opens with the loop on, in the player too.
    editor_->tempoUp();
    editor_->volumeDown();
    editor_->setOpeningRules({.ownTempoAndVolume = false, .loop = true});
    ASSERT_TRUE(editor_->open(melody()));
    EXPECT_FLOAT_EQ(editor_->player().tempoFactor(), 1.1f);
    EXPECT_EQ(editor_->volumePercent(), 90);
    EXPECT_TRUE(editor_->loopOn() && editor_->player().loop());
    ASSERT_TRUE(editor_->open(melody())); // a loop already on stays on
    EXPECT_TRUE(editor_->loopOn() && editor_->player().loop());
    editor_->setOpeningRules({});
    ASSERT_TRUE(editor_->open(melody()));
    EXPECT_FALSE(editor_->loopOn() || editor_->player().loop());
}

TEST_F(Editor, VolumeCeilingStopsAChannelPassing127)
{
    ASSERT_TRUE(editor_->open(melody())); // channel 0 has volume 100; drums have none (127)
    // With the drum channel at 127 any rise is too loud: the ceiling is the start value.
    recording_->clear();
    editor_->volumeUp();
    EXPECT_EQ(editor_->volumePercent(), 110);
    EXPECT_EQ(editor_->volumeCeiling(), 100);
    EXPECT_TRUE(volumesSent().empty());
    EXPECT_EQ(editor_->player().volumePercent(), 100u);
    editor_->volumeDown(); // 100 is within the ceiling: applied
    EXPECT_EQ(volumesSent(), (std::vector<std::uint32_t>{cc7(0, 100), cc7(9, 127)}));
}

TEST_F(Editor, VolumeCeilingExampleWithAChannelAtHundred)
{
    Bytes song = smf(0, 480, {trackData({{0, control(0, 7, 100)}, {0, noteOn(0, 60, 1)}, {480, noteOff(0, 60)}, {0, endOfTrack()}})});
    ASSERT_TRUE(editor_->open(song));
    editor_->volumeUp();
    editor_->volumeUp();
    EXPECT_EQ(editor_->player().volumePercent(), 120u);
    recording_->clear();
    editor_->volumeUp(); // 100 x 130 / 100 = 130 > 127: kept but not applied
    EXPECT_EQ(editor_->volumePercent(), 130);
    EXPECT_EQ(editor_->volumeCeiling(), 120);
    EXPECT_TRUE(volumesSent().empty());
    editor_->volumeDown();
    EXPECT_EQ(volumesSent(), std::vector<std::uint32_t>{cc7(0, 120)});
    for (int i = 0; i < 30; ++i)
        editor_->volumeDown();
    EXPECT_EQ(editor_->volumePercent(), 0);
    EXPECT_EQ(editor_->player().volumePercent(), 0u);
    for (int i = 0; i < 30; ++i)
        editor_->volumeUp();
    EXPECT_EQ(editor_->volumePercent(), 200);
    EXPECT_EQ(editor_->volumeCeiling(), 120); // found once, kept
}

TEST_F(Editor, RangePlayStopsAtTheRangeEndAndLoopsToItsStart)
{
    ASSERT_TRUE(editor_->open(melody()));
    editor_->setRange(480, 960);
    editor_->playRange();
    EXPECT_EQ(editor_->rangeMode(), 2);
    EXPECT_EQ(editor_->playState(), CMidiPlayer::Playing);
    EXPECT_GE(editor_->player().position(), 480);
    timer_->advance(600); // the range end (tick 960) is a whole second: the tick stops it
    EXPECT_EQ(editor_->playState(), CMidiPlayer::Stopped);
    EXPECT_EQ(editor_->player().state(), CMidiPlayer::Stopped);
    EXPECT_DOUBLE_EQ(editor_->shownPosition(), 480.0);

    editor_->toggleLoop();
    EXPECT_TRUE(editor_->player().loop());
    editor_->playRange();
    timer_->advance(600);
    EXPECT_EQ(editor_->playState(), CMidiPlayer::Playing);
    EXPECT_GE(editor_->player().position(), 480);
    EXPECT_LT(editor_->player().position(), 700);
}

TEST_F(Editor, RangePlayNeedsARangeAndAChannel)
{
    ASSERT_TRUE(editor_->open(melody()));
    editor_->playRange();
    EXPECT_EQ(editor_->playState(), CMidiPlayer::Stopped);
    editor_->setRange(0, 960);
    QmixChannelFlags none{};
    editor_->changeChannels(none);
    editor_->setRange(0, 960);
    editor_->playRange();
    EXPECT_EQ(editor_->playState(), CMidiPlayer::Stopped);
}

TEST_F(Editor, WholeSongPlayPausesResumesAndEndsAtZero)
{
    ASSERT_TRUE(editor_->open(melody()));
    editor_->playPause();
    EXPECT_EQ(editor_->playState(), CMidiPlayer::Playing);
    timer_->advance(1100);
    // The tick at one second of play moved the shown position along.
    EXPECT_GE(editor_->shownPosition(), 900.0);
    EXPECT_LE(editor_->shownPosition(), static_cast<double>(editor_->player().position()));
    editor_->playPause();
    EXPECT_EQ(editor_->playState(), CMidiPlayer::Paused);
    const auto paused = editor_->player().position();
    editor_->playPause();
    EXPECT_EQ(editor_->player().position(), paused);
    timer_->advance(1000);
    EXPECT_EQ(editor_->playState(), CMidiPlayer::Stopped);
    EXPECT_DOUBLE_EQ(editor_->shownPosition(), 0.0);
}

TEST_F(Editor, ChannelChangeFiltersTheWorkingSong)
{
    ASSERT_TRUE(editor_->open(melody()));
    QmixChannelFlags melodyOnly{};
    melodyOnly[0] = 1;
    ASSERT_TRUE(editor_->changeChannels(melodyOnly));
    const auto& song = editor_->player().song();
    EXPECT_EQ(song.trackCount, 1);
    EXPECT_EQ(song.format, 0);
    EXPECT_TRUE(song.channels[0].hasNotes);
    EXPECT_FALSE(song.channels[9].hasNotes);
    EXPECT_EQ(editor_->player().songLength(), 1440);
    EXPECT_TRUE(view_.messages.empty());
}

TEST_F(Editor, ChannelChangeWhilePlayingResumesWhereItWas)
{
    ASSERT_TRUE(editor_->open(melody()));
    editor_->playPause();
    timer_->advance(500);
    const auto at = editor_->player().position();
    QmixChannelFlags melodyOnly{};
    melodyOnly[0] = 1;
    ASSERT_TRUE(editor_->changeChannels(melodyOnly));
    EXPECT_EQ(editor_->playState(), CMidiPlayer::Playing);
    EXPECT_EQ(editor_->player().state(), CMidiPlayer::Playing);
    EXPECT_NEAR(editor_->player().position(), at, 2);
    EXPECT_FALSE(editor_->busy());
}

TEST_F(Editor, NoChannelSelectedResetsTheRange)
{
    ASSERT_TRUE(editor_->open(melody()));
    editor_->setRange(480, 960);
    ASSERT_TRUE(editor_->changeChannels(QmixChannelFlags{}));
    EXPECT_EQ(view_.messages, std::vector<unsigned>{kIdRangeReset});
    EXPECT_EQ(editor_->rangeStart(), 0);
    EXPECT_EQ(editor_->rangeEnd(), editor_->player().songLength());
}

TEST_F(Editor, AssembledRangeByteForByte)
{
    // Running status inside the range, a controller before it, a tempo to scale.
    Bytes data = {0x00, 0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0,   // tempo 600000
                  0x00, 0xC0, 0x05,                           // program 5
                  0x00, 0xB0, 0x07, 0x64,                     // volume 100
                  0x00, 0x90, 0x3C, 0x64,                     // note on 60
                  0x83, 0x60, 0x3C, 0x00,                     // tick 480: running status, velocity 0
                  0x00, 0x3E, 0x64,                           // tick 480: note on 62
                  0x83, 0x60, 0x80, 0x3E, 0x00,               // tick 960: note off 62
                  0x00, 0xB0, 0x0A, 0x14,                     // tick 960: pan
                  0x00, 0x90, 0x40, 0x64,                     // tick 960: note on 64 (a note start at the end)
                  0x83, 0x60, 0x80, 0x40, 0x00,               // tick 1440
                  0x00, 0xFF, 0x2F, 0x00};
    ASSERT_TRUE(editor_->open(smf(0, 480, {data})));
    editor_->setRange(480, 960);
    for (int i = 0; i < 10; ++i)
        editor_->tempoUp();
    ASSERT_TRUE(editor_->player().loaded());
    editor_->player().setVolume(50);
    Bytes body = {0x00, 0xC0, 0x05,                           // carried program
                  0x00, 0xB0, 0x07, 0x32,                     // carried volume at 50 %
                  0x00, 0xFF, 0x51, 0x03, 0x04, 0x93, 0xE0,   // 600000 / 2.0
                  0x00, 0x90, 0x3C, 0x00,
                  0x00, 0x90, 0x3E, 0x64,
                  0x83, 0x60, 0x80, 0x3E, 0x00,
                  0x00, 0xB0, 0x0A, 0x14,
                  0x00, 0xFF, 0x2F, 0x00};
    Bytes expected = smf(0, 480, {body});
    EXPECT_EQ(editor_->assembledSong(), expected);
}

TEST_F(Editor, AssembledWholeSongWithoutVolumesGetsThemAndKeepsItsTail)
{
    Bytes song = smf(0, 96, {trackData({{0, noteOn(1, 60, 90)}, {96, noteOff(1, 60)}, {96, endOfTrack()}})});
    ASSERT_TRUE(editor_->open(song));
    editor_->setRange(0, 192);
    Bytes body = {0x00, 0xB1, 0x07, 0x7F,                     // 100 % of 127
                  0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,   // 500000
                  0x00, 0x91, 0x3C, 0x5A,
                  0x60, 0x81, 0x3C, 0x00,
                  0x60, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(editor_->assembledSong(), smf(0, 96, {body}));
    editor_->setRange(0, 0);
    EXPECT_TRUE(editor_->assembledSong().empty());
}

TEST(MelconvBindingTest, BadArgumentsFailBeforeTheLibraryIsUsed)
{
    MelconvBinding binding;
    std::uint8_t smf[4] = {1, 2, 3, 4};
    std::uint8_t out[4] = {};
    std::int32_t capacity = 0;
    std::string message = "untouched";
    EXPECT_EQ(binding.convert(smf, 4, out, &capacity, nullptr, 0, message), kMelconvFailure);
    EXPECT_EQ(binding.convert(smf, 4, out, nullptr, nullptr, 0, message), kMelconvFailure);
    capacity = 4;
    EXPECT_EQ(binding.convert(nullptr, 4, out, &capacity, nullptr, 0, message), kMelconvFailure);
    EXPECT_EQ(binding.convert(smf, 0, out, &capacity, nullptr, 0, message), kMelconvFailure);
    EXPECT_EQ(binding.convert(smf, 4, nullptr, &capacity, nullptr, 0, message), kMelconvFailure);
    EXPECT_EQ(message, "untouched");
    if (!binding.found()) {
        EXPECT_EQ(binding.convert(smf, 4, out, &capacity, nullptr, 0, message), kMelconvFailure);
        EXPECT_EQ(message, "Melconv.dll was not found.");
    }
}

// The real converter beside the tests, with the voice bank embedded in the program.
TEST_F(Editor, MakingThroughTheRealConverter)
{
    ASSERT_FALSE(orka::platform::findResource("VOICEDATA", 483).empty());
    // A song inside the converter's MIDI subset: bank select, reserve, program, notes.
    Bytes song = smf(0, 480, {trackData({{0, control(0, 0, 122)}, {0, control(0, 32, 0)}, {0, control(0, 55, 4)},
                                         {0, program(0, 0)}, {0, control(0, 7, 100)}, {0, noteOn(0, 60, 100)},
                                         {480, noteOff(0, 60)}, {0, noteOn(0, 64, 100)}, {480, noteOff(0, 64)},
                                         {0, endOfTrack()}})});
    ASSERT_TRUE(editor_->open(song));
    editor_->setRange(0, 960);
    std::vector<std::uint8_t> smaf;
    std::string message;
    ASSERT_EQ(editor_->makeRingTone(smaf, message), MakeOutcome::Made) << message;
    ASSERT_GE(smaf.size(), 4u);
    EXPECT_EQ(std::string(smaf.begin(), smaf.begin() + 4), "MMMD");
    auto kb = editor_->expectedSizeKb();
    ASSERT_TRUE(kb);
    EXPECT_DOUBLE_EQ(*kb, smaf.size() / 1024.0);
}

TEST_F(Editor, ChannelChangeTheFilterCannotReadKeepsTheWorkingSong)
{
    // Format 2 (independent patterns): the player loads it, the filter refuses the file.
    Bytes data = {0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    const Bytes song = smf(2, 96, {data});
    ASSERT_TRUE(editor_->open(song));
    view_.answerFirst = true;
    QmixChannelFlags first{};
    first[0] = 1;
    EXPECT_FALSE(editor_->changeChannels(first));
    EXPECT_EQ(view_.messages, std::vector<unsigned>{kIdConversionFailed});
    EXPECT_EQ(view_.posted, std::vector<unsigned>{RingToneEditor::kParentConversionFailed});
    EXPECT_EQ(editor_->workingSong(), song);
    EXPECT_TRUE(editor_->player().loaded());
}

TEST_F(Editor, AssemblingATrackedSongMergesItsTracks)
{
    ASSERT_TRUE(editor_->open(melody()));
    editor_->setRange(240, 960);
    // Volumes are the song's own (channel 0), so no volume block; the drum note at 0 is
    // not carried, its note off at 240 opens the range.
    Bytes body = {0x00, 0xC0, 0x05,
                  0x00, 0xB0, 0x07, 0x64,
                  0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
                  0x00, 0x89, 0x24, 0x00,
                  0x81, 0x70, 0x80, 0x3C, 0x00,   // tick 480
                  0x00, 0x90, 0x3E, 0x64,
                  0x83, 0x60, 0x80, 0x3E, 0x00,   // tick 960; the note on 64 there is left out
                  0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(editor_->assembledSong(), smf(0, 480, {body}));
}

// A song outside the converter's subset (format 1, drums, reverb, expression, sustain) is
// prepared by the filter; the model shows the filter's log and how many notes it kept.
TEST_F(Editor, MakingASongWithALongRestBeforeItsNote)
{
    // Ten hours of rest (18000 quarters of 2 s) before one short note: the SMAF spells the
    // rest out and is far more than ten times the song, even once the filter has added to it.
    constexpr std::uint32_t kRest = 18000 * 480;
    Bytes song = smf(0, 480, {trackData({{0, setTempo(2000000)}, {0, program(0, 0)}, {kRest, noteOn(0, 60, 100)},
                                         {240, noteOff(0, 60)}, {0, endOfTrack()}})});
    ASSERT_TRUE(editor_->open(song));
    editor_->setRange(0, kRest + 240);
    std::vector<std::uint8_t> smaf;
    std::string message;
    ASSERT_EQ(editor_->makeRingTone(smaf, message), MakeOutcome::Made) << message << editor_->filterLog();
    EXPECT_GT(smaf.size(), song.size() * 20);
}

TEST_F(Editor, MakingARealWorldSongShowsWhatTheFilterChanged)
{
    Bytes song = smf(1, 480,
                     {trackData({{0, setTempo(500000)}, {0, endOfTrack()}}),
                      trackData({{0, control(0, 91, 60)}, {0, control(0, 11, 90)}, {0, control(0, 64, 127)},
                                 {0, noteOn(0, 60, 100)}, {0, noteOn(0, 64, 100)}, {240, noteOff(0, 60)},
                                 {0, noteOff(0, 64)}, {240, control(0, 64, 0)}, {0, endOfTrack()}}),
                      trackData({{0, noteOn(9, 36, 100)}, {120, noteOff(9, 36)}, {0, noteOn(9, 120, 90)},
                                 {120, noteOff(9, 120)}, {240, endOfTrack()}})});
    ASSERT_TRUE(editor_->open(song));
    editor_->setRange(0, 480);
    std::vector<std::uint8_t> smaf;
    std::string message;
    ASSERT_EQ(editor_->makeRingTone(smaf, message), MakeOutcome::Made) << message << editor_->filterLog();
    const auto counts = editor_->noteCounts();
    ASSERT_TRUE(counts) << editor_->filterLog();
    EXPECT_EQ(counts->total, 4u);
    EXPECT_EQ(counts->kept, 4u); // the drum note outside the FM kit moves onto its nearest piece
    EXPECT_NE(editor_->filterLog().find("channel 1: reverb and chorus controllers dropped (1)"), std::string::npos)
        << editor_->filterLog();
    EXPECT_NE(editor_->filterLog().find("channel 10: drum notes outside 13-91 mapped"), std::string::npos);
}
