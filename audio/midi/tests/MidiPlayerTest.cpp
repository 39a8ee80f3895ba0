#include "PlayerFixture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

using namespace orka::test;
using orka::audio::midi::CMidiPlayer;
using orka::audio::midi::WM_MIDI_END;
using orka::audio::midi::WM_MIDI_TICK;

namespace {

// 480 ticks per quarter at 500000 us: 0.96 ticks per 1 ms callback.
Bytes seekSong()
{
    return smf(0, 480, {trackData({
                           {0, program(0, 5)},
                           {0, control(0, 7, 80)},
                           {0, noteOn(0, 60, 100)},
                           {480, noteOff(0, 60)},
                           {240, control(0, 10, 30)},
                           {0, program(1, 7)},
                           {240, noteOn(0, 62, 100)}, // tick 960
                           {480, noteOff(0, 62)},
                           {0, endOfTrack()},
                       })});
}

} // namespace

class MidiPlayer : public PlayerFixture {};

TEST_F(MidiPlayer, PlayWithoutSongOrWhilePlayingDoesNothing)
{
    player_->play(0);
    EXPECT_EQ(player_->state(), CMidiPlayer::Stopped);
    EXPECT_FALSE(timer_->running());

    ASSERT_TRUE(player_->load(seekSong()));
    player_->play(0);
    timer_->advance(100);
    const auto position = player_->position();
    player_->play(0);
    EXPECT_EQ(timer_->starts(), 1u);
    EXPECT_EQ(player_->position(), position);
}

TEST_F(MidiPlayer, LoadSendsInitialProgramsExceptDrums)
{
    ASSERT_TRUE(player_->load(seekSong()));
    const auto programs = sentOfKind(0xC);
    ASSERT_EQ(programs.size(), 15u);
    EXPECT_EQ(programs[0], pack(program(0, 5)));
    EXPECT_EQ(programs[1], pack(program(1, 7)));
    EXPECT_EQ(programs[2], pack(program(2, 0)));
    EXPECT_TRUE(std::none_of(programs.begin(), programs.end(), [](std::uint32_t m) { return (m & 0x0F) == 9; }));
}

TEST_F(MidiPlayer, SeekSendsProgramsAndControllersButNoNotes)
{
    ASSERT_TRUE(player_->load(seekSong()));
    recording_->clear();
    player_->play(960);
    const auto before = sent();
    std::vector<std::uint32_t> expected = {pack(program(0, 5)), pack(control(0, 7, 80)), pack(control(0, 10, 30)),
                                           pack(program(1, 7))};
    std::vector<std::uint32_t> got;
    for (const auto& m : before)
        got.push_back(m.message);
    EXPECT_EQ(got, expected);
    EXPECT_GE(player_->position(), 960);
    EXPECT_LT(player_->position(), 962);
    // The note at tick 960 is played, not swallowed by the seek.
    timer_->advance(2);
    EXPECT_EQ(sentOfKind(0x9), std::vector<std::uint32_t>{pack(noteOn(0, 62, 100))});
}

TEST_F(MidiPlayer, MutedChannelDropsNotesButPassesControllers)
{
    Bytes song = smf(0, 480, {trackData({
                                  {0, noteOn(1, 50, 90)},
                                  {0, noteOn(2, 60, 90)},
                                  {10, control(2, 10, 64)},
                                  {0, program(2, 3)},
                                  {0, noteOff(2, 60)},
                                  {0, noteOn(2, 61, 90)},
                                  {0, noteOn(1, 51, 90)},
                                  {10, endOfTrack()},
                              })});
    ASSERT_TRUE(player_->load(song));
    player_->play(0);
    timer_->advance(1); // tick 0: both notes sound
    recording_->clear();
    player_->requestMute(2, true);
    timer_->advance(1);
    // The sounding note is cut on the next callback: 128 note offs on channel 2.
    const auto offs = sentOfKind(0x8);
    EXPECT_EQ(std::count_if(offs.begin(), offs.end(), [](std::uint32_t m) { return (m & 0x0F) == 2; }), 128);
    recording_->clear();
    runUntilEnd();
    const auto all = sent();
    std::vector<std::uint32_t> got;
    for (const auto& m : all)
        got.push_back(m.message);
    EXPECT_NE(std::find(got.begin(), got.end(), pack(control(2, 10, 64))), got.end());
    EXPECT_NE(std::find(got.begin(), got.end(), pack(program(2, 3))), got.end());
    EXPECT_NE(std::find(got.begin(), got.end(), pack(noteOn(1, 51, 90))), got.end());
    EXPECT_EQ(std::find(got.begin(), got.end(), pack(noteOn(2, 61, 90))), got.end());
    EXPECT_EQ(std::find(got.begin(), got.end(), pack(noteOff(2, 60))), got.end());
}

TEST_F(MidiPlayer, UnmutingLetsNotesThroughAgain)
{
    Bytes song = smf(0, 480, {trackData({{0, noteOn(2, 60, 90)}, {20, noteOn(2, 61, 90)}, {0, endOfTrack()}})});
    ASSERT_TRUE(player_->load(song));
    player_->requestMute(2, true);
    player_->play(0);
    timer_->advance(3);
    EXPECT_TRUE(sentOfKind(0x9).empty());
    player_->requestMute(2, false);
    runUntilEnd();
    EXPECT_EQ(sentOfKind(0x9), std::vector<std::uint32_t>{pack(noteOn(2, 61, 90))});
}

TEST_F(MidiPlayer, VolumePercentScalesControlChangeSeven)
{
    Bytes song = smf(0, 480, {trackData({{0, noteOn(0, 60, 1)}, {5, control(0, 7, 100)}, {5, endOfTrack()}})});
    ASSERT_TRUE(player_->load(song));
    player_->setVolume(50);
    recording_->clear();
    player_->play(0);
    runUntilEnd();
    EXPECT_EQ(sentOfKind(0xB), std::vector<std::uint32_t>{pack(control(0, 7, 50))});
}

TEST_F(MidiPlayer, SetVolumeSendsToChannelsWithNotesAndSaturates)
{
    Bytes song = smf(0, 480, {trackData({{0, noteOn(0, 60, 1)}, {0, noteOn(3, 60, 1)}, {0, control(3, 7, 100)},
                                         {0, control(4, 7, 100)}, {0, endOfTrack()}})});
    ASSERT_TRUE(player_->load(song));
    recording_->clear();
    player_->setVolume(50);
    EXPECT_EQ(sentOfKind(0xB), (std::vector<std::uint32_t>{pack(control(0, 7, 63)), pack(control(3, 7, 50))}));
    recording_->clear();
    player_->setVolume(200); // 127 x 2 and 100 x 2 stop at 127 instead of wrapping
    EXPECT_EQ(sentOfKind(0xB), (std::vector<std::uint32_t>{pack(control(0, 7, 127)), pack(control(3, 7, 127))}));
}

TEST_F(MidiPlayer, TwoTracksPlayUntilTheLongerEnds)
{
    Bytes song = smf(1, 480, {trackData({{0, noteOn(0, 60, 1)}, {100, endOfTrack()}}),
                              trackData({{0, noteOn(1, 60, 1)}, {960, noteOff(1, 60)}, {0, endOfTrack()}})});
    ASSERT_TRUE(player_->load(song));
    player_->play(0);
    const auto ran = runUntilEnd();
    // 960 ticks at 0.96 ticks per callback: about 1000 callbacks.
    EXPECT_NEAR(static_cast<double>(ran), 1000.0, 3.0);
    EXPECT_EQ(sentOfKind(0x8), std::vector<std::uint32_t>{pack(noteOff(1, 60))});
    ASSERT_FALSE(owner_.notes.empty());
    EXPECT_EQ(owner_.notes.back(), std::make_pair(WM_MIDI_END, 0u));
    EXPECT_EQ(player_->state(), CMidiPlayer::Stopped);
    EXPECT_FALSE(player_->timerRunning());
    EXPECT_EQ(player_->position(), 0);
}

TEST_F(MidiPlayer, TempoFactorTwoHalvesThePlayingTime)
{
    Bytes song = smf(0, 480, {trackData({{0, noteOn(0, 60, 1)}, {1920, noteOff(0, 60)}, {0, endOfTrack()}})});
    ASSERT_TRUE(player_->load(song));
    EXPECT_EQ(player_->tempoQuery(false), 120u);
    player_->play(0);
    const auto normal = runUntilEnd();
    player_->setTempoFactor(2.0f);
    EXPECT_EQ(player_->tempoQuery(false), 240u);
    EXPECT_EQ(player_->tempoQuery(true), 250000u);
    player_->play(0);
    const auto fast = runUntilEnd();
    EXPECT_NEAR(static_cast<double>(fast), normal / 2.0, 2.0);
}

TEST_F(MidiPlayer, TempoChangesInTheSongChangeTheRate)
{
    // After 480 ticks the tempo halves its quarter note: the second half takes half as long.
    Bytes song = smf(0, 480, {trackData({{0, noteOn(0, 60, 1)}, {480, setTempo(250000)}, {480, noteOff(0, 60)}, {0, endOfTrack()}})});
    ASSERT_TRUE(player_->load(song));
    player_->play(0);
    const auto ran = runUntilEnd();
    EXPECT_NEAR(static_cast<double>(ran), 500.0 + 250.0, 3.0);
    const auto offs = sent();
    const auto off = std::find_if(offs.begin(), offs.end(), [](const auto& m) { return m.message == pack(noteOff(0, 60)); });
    ASSERT_NE(off, offs.end());
    EXPECT_NEAR(static_cast<double>(off->timeNs), 750.0, 3.0); // the recorder's clock is the manual ms here
}

TEST_F(MidiPlayer, PauseAndResumeKeepThePosition)
{
    ASSERT_TRUE(player_->load(seekSong()));
    EXPECT_FALSE(player_->pause()); // nothing to pause
    player_->play(0);
    timer_->advance(300);
    EXPECT_TRUE(player_->pause());
    EXPECT_FALSE(player_->pause());
    EXPECT_EQ(player_->state(), CMidiPlayer::Paused);
    EXPECT_FALSE(timer_->running());
    const auto position = player_->position();
    EXPECT_GT(position, 280);
    player_->play(0);
    EXPECT_EQ(player_->state(), CMidiPlayer::Playing);
    EXPECT_EQ(player_->position(), position);
    timer_->advance(1);
    EXPECT_GE(player_->position(), position);
}

TEST_F(MidiPlayer, StopReopensTheOutputAndTellsTheOwner)
{
    ASSERT_TRUE(player_->load(seekSong()));
    EXPECT_EQ(player_->stop(), CMidiPlayer::Stopped);
    EXPECT_TRUE(owner_.notes.empty());
    player_->play(0);
    timer_->advance(50);
    recording_->clear();
    EXPECT_EQ(player_->stop(), CMidiPlayer::Playing);
    EXPECT_EQ(recording_->reopenCount(), 1u);
    EXPECT_EQ(player_->position(), 0);
    EXPECT_FALSE(timer_->running());
    EXPECT_EQ(sentOfKind(0x8).size(), 16u * 128u);
    EXPECT_EQ(sentOfKind(0xC).size(), 15u);
    EXPECT_EQ(owner_.notes.back(), std::make_pair(WM_MIDI_END, 1u));
}

TEST_F(MidiPlayer, TickIsPostedAboutOncePerSecond)
{
    Bytes song = smf(0, 480, {trackData({{0, noteOn(0, 60, 1)}, {2880, noteOff(0, 60)}, {0, endOfTrack()}})});
    ASSERT_TRUE(player_->load(song));
    player_->play(0);
    runUntilEnd();
    // Three seconds of play: at 0 s, 1 s and 2 s (the end comes at 3 s).
    EXPECT_GE(owner_.count(WM_MIDI_TICK), 3u);
    EXPECT_LE(owner_.count(WM_MIDI_TICK), 4u);
}

TEST_F(MidiPlayer, LoopInEditorRangeModeRestartsAtTheRangeStart)
{
    ASSERT_TRUE(player_->load(seekSong()));
    player_->setMode(CMidiPlayer::kEditorMode);
    owner_.rangeMode = 2;
    owner_.rangeStart = 960;
    player_->toggleLoop();
    player_->play(0);
    timer_->advance(1480); // past the end (1440 ticks is 1500 callbacks)
    timer_->advance(30);
    EXPECT_EQ(owner_.count(WM_MIDI_END), 0u);
    EXPECT_TRUE(timer_->running());
    EXPECT_GE(player_->position(), 960);
    EXPECT_LT(player_->position(), 1100);
    // The note at 960 plays again after the restart; the first note (tick 0) does not.
    const auto ons = sentOfKind(0x9);
    EXPECT_EQ(std::count(ons.begin(), ons.end(), pack(noteOn(0, 62, 100))), 2);
    EXPECT_EQ(std::count(ons.begin(), ons.end(), pack(noteOn(0, 60, 100))), 1);
}

TEST_F(MidiPlayer, RangeEndWrapsWithinOneCallbackAndReleasesTheNotesStillSounding)
{
    ASSERT_TRUE(player_->load(seekSong()));
    player_->setMode(CMidiPlayer::kEditorMode);
    owner_.rangeMode = 2;
    owner_.rangeStart = 480;
    owner_.rangeEnd = 1200; // the note at 960 still sounds there; the song runs to 1440
    player_->toggleLoop();
    player_->play(480);
    const auto releases = [this] {
        const auto offs = sentOfKind(0x8);
        return std::count(offs.begin(), offs.end(), pack(noteOff(0, 62)));
    };
    std::int32_t last = player_->position();
    for (int callback = 0; callback < 2000; ++callback) {
        timer_->advance(1);
        if (player_->position() < last)
            break;
        last = player_->position();
        ASSERT_EQ(releases(), 0) << "at " << last;
    }
    EXPECT_EQ(last, 1200); // reached within the callback of 0.96 ticks that passes the end
    EXPECT_GE(player_->position(), 480);
    EXPECT_LT(player_->position(), 482);
    EXPECT_EQ(releases(), 1);

    // Without loop the play ends there as a song end does.
    player_->toggleLoop();
    timer_->advance(760);
    EXPECT_EQ(player_->state(), CMidiPlayer::Stopped);
    EXPECT_FALSE(timer_->running());
    ASSERT_FALSE(owner_.notes.empty());
    EXPECT_EQ(owner_.notes.back(), std::make_pair(WM_MIDI_END, 0u));
    EXPECT_EQ(releases(), 2);
}

TEST_F(MidiPlayer, LoopInEditorWholeSongModeRestartsAtZero)
{
    ASSERT_TRUE(player_->load(seekSong()));
    player_->setMode(CMidiPlayer::kEditorMode);
    owner_.rangeStart = 960; // ignored in whole-song mode
    player_->toggleLoop();
    player_->play(0);
    timer_->advance(1510);
    EXPECT_LT(player_->position(), 100);
    const auto ons = sentOfKind(0x9);
    EXPECT_EQ(std::count(ons.begin(), ons.end(), pack(noteOn(0, 60, 100))), 2);
}

TEST_F(MidiPlayer, LoopOutsideTheEditorRunsOnInSilence)
{
    ASSERT_TRUE(player_->load(seekSong()));
    player_->toggleLoop();
    player_->play(0);
    timer_->advance(3000);
    EXPECT_TRUE(timer_->running());
    EXPECT_EQ(owner_.count(WM_MIDI_END), 0u);
    EXPECT_EQ(sentOfKind(0x9).size(), 2u);
    player_->stop();
    EXPECT_EQ(owner_.count(WM_MIDI_END), 1u);
}

TEST_F(MidiPlayer, EditorModeAppliesTheOwnersVolumeWhenTheSongHasNone)
{
    Bytes song = smf(0, 480, {trackData({{0, noteOn(4, 60, 1)}, {10, endOfTrack()}})});
    ASSERT_TRUE(player_->load(song));
    player_->setMode(CMidiPlayer::kEditorMode);
    owner_.volume = 50;
    recording_->clear();
    player_->play(0);
    EXPECT_EQ(sentOfKind(0xB), std::vector<std::uint32_t>{pack(control(4, 7, 63))});
    EXPECT_EQ(player_->volumePercent(), 50u);
}

TEST_F(MidiPlayer, LoadingReplacesAndStopsAPlayingSong)
{
    ASSERT_TRUE(player_->load(seekSong()));
    player_->play(0);
    timer_->advance(10);
    EXPECT_FALSE(player_->load(header(0, 0, 0)));
    EXPECT_FALSE(player_->loaded());
    EXPECT_EQ(player_->state(), CMidiPlayer::Stopped);
    EXPECT_EQ(owner_.notes.back(), std::make_pair(WM_MIDI_END, 1u));
    player_->play(0);
    EXPECT_FALSE(timer_->running());
}

TEST_F(MidiPlayer, DurationAndPlayingTime)
{
    Bytes song = smf(0, 96, {trackData({{0, setTempo(1000000)}, {960, endOfTrack()}})});
    ASSERT_TRUE(player_->load(song));
    EXPECT_EQ(player_->durationSeconds(), 10u);
    player_->setPosition(480);
    EXPECT_EQ(player_->playingSeconds(), 5u);
    EXPECT_EQ(player_->tempoQuery(false), 60u);
}

TEST_F(MidiPlayer, WalksOddButCheckedTracksWithoutLeavingThem)
{
    // A meta length of two variable-length bytes and a tempo of 0: both loaded, both
    // played safely, the walk keeping to the check's boundaries.
    Bytes data = {0x00, 0xFF, 0x08, 0x81, 0x04};
    data.insert(data.end(), 132, 0x7F);
    data.insert(data.end(), {0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x00});
    data.insert(data.end(), {0x00, 0x90, 60, 1, 0x05, 0xFF, 0x2F, 0x00});
    ASSERT_TRUE(player_->load(smf(0, 480, {data})));
    EXPECT_EQ(player_->song().tempo, 1u);
    player_->play(0);
    runUntilEnd(100);
    EXPECT_EQ(sentOfKind(0x9), std::vector<std::uint32_t>{pack(noteOn(0, 60, 1))});
    EXPECT_EQ(player_->state(), CMidiPlayer::Stopped);
}

TEST_F(MidiPlayer, ShutDownResetsSettings)
{
    ASSERT_TRUE(player_->load(seekSong()));
    player_->setTempoFactor(1.5f);
    player_->setVolume(70);
    player_->toggleLoop();
    player_->play(0);
    EXPECT_TRUE(player_->shutDown());
    EXPECT_FALSE(player_->loaded());
    EXPECT_FALSE(player_->loop());
    EXPECT_EQ(player_->volumePercent(), 100u);
    EXPECT_FLOAT_EQ(player_->tempoFactor(), 1.0f);
    EXPECT_FALSE(player_->shutDown());
}

// The real 1 ms timer thread against the user-interface thread.
namespace {

struct AtomicOwner : orka::audio::midi::MidiPlayerOwner {
    void midiNotify(unsigned message, unsigned wParam) override
    {
        if (message == WM_MIDI_END)
            ends.fetch_add(wParam == 0 ? 1 : 100);
    }
    std::atomic<int> ends{0};
};

} // namespace

TEST(MidiPlayerLive, PlaysInOrderOnTheSystemTimerAndEndsByItself)
{
    auto recording = std::make_shared<orka::platform::MidiRecording>();
    AtomicOwner owner;
    CMidiPlayer player; // the system timer
    player.setUp(&owner, [recording] { return orka::platform::openRecordingMidiOut(recording); });
    // 96 ticks at 480 per quarter: 100 ms.
    ASSERT_TRUE(player.load(smf(0, 480, {trackData({{0, noteOn(0, 60, 1)}, {48, noteOn(0, 62, 1)}, {48, noteOff(0, 60)}, {0, endOfTrack()}})})));
    recording->clear();
    const auto start = std::chrono::steady_clock::now();
    player.play(0);
    while (owner.ends.load() == 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(owner.ends.load(), 1);
    EXPECT_EQ(player.state(), CMidiPlayer::Stopped);
    const auto sent = recording->messages();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].message, pack(noteOn(0, 60, 1)));
    EXPECT_EQ(sent[1].message, pack(noteOn(0, 62, 1)));
    EXPECT_EQ(sent[2].message, pack(noteOff(0, 60)));
    // 48 ticks are 50 ms; a loaded machine may send the first one late (the timer then
    // catches up) or the second one late.
    const double gapMs = static_cast<double>(sent[1].timeNs - sent[0].timeNs) / 1e6;
    EXPECT_GT(gapMs, 35.0);
    EXPECT_LT(gapMs, 90.0);
}

TEST(MidiPlayerLive, StopPauseAndPlayFromTheUserThreadWhilePlaying)
{
    auto recording = std::make_shared<orka::platform::MidiRecording>();
    AtomicOwner owner;
    CMidiPlayer player;
    player.setUp(&owner, [recording] { return orka::platform::openRecordingMidiOut(recording); });
    Bytes data;
    for (int i = 0; i < 400; ++i) {
        auto d = trackData({{1, noteOn(0, 60, 1)}, {1, noteOff(0, 60)}});
        data.insert(data.end(), d.begin(), d.end());
    }
    data.insert(data.end(), {0x00, 0xFF, 0x2F, 0x00});
    ASSERT_TRUE(player.load(smf(0, 480, {data})));
    for (int round = 0; round < 20; ++round) {
        player.play(round * 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        if (round % 2) {
            EXPECT_TRUE(player.pause() || player.state() == CMidiPlayer::Stopped);
        }
        player.play(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        player.stop();
        EXPECT_FALSE(player.timerRunning());
    }
    EXPECT_EQ(owner.ends.load(), 20 * 100);
}
