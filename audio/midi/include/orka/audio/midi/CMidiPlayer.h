#pragma once
// Plays a song read by readMidiSong through a MIDI output. A 1 ms periodic timer drives a
// sequencer that walks the raw track bytes, turns elapsed time into ticks with the tempo
// and a tempo factor, and sends each channel message. The timer callback runs on the
// timer's thread; everything else runs on the caller's (user-interface) thread. Settings
// the callback reads are atomic; Stop, Pause and Load stop the timer before they touch
// the tracks.
#include "orka/audio/midi/MidiSong.h"
#include "orka/platform/MidiOut.h"
#include "orka/platform/PeriodicTimer.h"

#include <array>
#include <bitset>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace orka::audio::midi {

// Messages to the owner, numbered as the window messages a window maps them to.
constexpr unsigned WM_MIDI_TICK = 0x045D; // about once per second of play; wParam 0
constexpr unsigned WM_MIDI_END = 0x045E;  // wParam 1: stopped by a call; 0: the song ended

class MidiPlayerOwner {
public:
    virtual ~MidiPlayerOwner() = default;
    // Called on the timer thread for WM_MIDI_TICK and the natural WM_MIDI_END, on the
    // caller's thread for the WM_MIDI_END of Stop. A window posts these on to its own
    // thread; it must not wait there for its thread, which may be stopping the player.
    virtual void midiNotify(unsigned message, unsigned wParam) = 0;
    // In editor mode the player asks its owner for these (from the timer thread too).
    virtual int editorVolumePercent() const { return 100; }
    virtual int editorRangeMode() const { return 1; } // 1 whole song, 2 range
    virtual std::int32_t editorRangeStart() const { return 0; }
    // The tick where a range play ends (range mode 2); 0 or not past the start: no end.
    virtual std::int32_t editorRangeEnd() const { return 0; }
};

class CMidiPlayer {
public:
    enum State : int { Playing = 1, Stopped = 2, Paused = 3 };
    static constexpr int kEditorMode = 2;
    using OutputFactory = std::function<std::unique_ptr<platform::MidiOut>()>;

    // `timer` drives playback (the system timer by default, a manual one in tests).
    explicit CMidiPlayer(std::unique_ptr<platform::PeriodicTimer> timer = nullptr);
    ~CMidiPlayer();
    CMidiPlayer(const CMidiPlayer&) = delete;
    CMidiPlayer& operator=(const CMidiPlayer&) = delete;

    // Remembers the owner and opens the output (`openOutput` is also used to reopen it on
    // Stop; by default the system's MIDI output). Returns whether an output opened.
    bool setUp(MidiPlayerOwner* owner, OutputFactory openOutput = {});
    // Stops, closes the output, releases the song and resets the settings.
    bool shutDown();

    // Loads a whole file image, replacing the song (a playing song is stopped first).
    bool load(std::span<const std::uint8_t> image);
    void unload();

    void play(std::int32_t startTick);
    int stop();   // 2 when already stopped, else the state it left
    bool pause(); // false when not playing
    void setVolume(std::uint32_t percent);
    void setTempoFactor(float factor);
    void toggleLoop();
    void setPosition(float ticks);
    void setMode(int mode) { mode_.store(mode); }
    void requestMute(int channel, bool mute);

    int mode() const { return mode_.load(); }
    int state() const { return state_.load(); }
    bool loop() const { return loop_.load(); }
    float tempoFactor() const { return tempoFactor_.load(); }
    std::uint32_t volumePercent() const { return volumePercent_.load(); }
    bool muteRequested(int channel) const;
    std::int32_t position() const;
    std::int32_t songLength() const { return loaded_ ? song_.songLength : 0; }
    bool loaded() const { return loaded_; }
    bool timerRunning() const { return timerRunning_.load(); }
    bool outputOpen() const { return output_ != nullptr; }
    // Raw: effective microseconds per quarter note; else beats per minute.
    std::uint32_t tempoQuery(bool raw) const;
    std::uint32_t durationSeconds() const;
    std::uint32_t playingSeconds() const;
    // The facts of the loaded song (valid while loaded; the tracks belong to playback).
    const MidiSong& song() const { return song_; }
    // The diagnostic of the last failed track check (never shown to users).
    const std::string& lastMessage() const { return message_; }

    // Low-level senders; nothing is sent when no output is open.
    void sendShort(std::uint32_t message);
    void programChange(int channel, int program);
    void noteOff(int channel, int key, int velocity);
    void allNotesOff(int channel);
    void allNotesOffAllChannels();
    void sendInitialProgramChanges();

private:
    enum class StepMode { Play, Seek };

    void timerCallback();
    // In editor mode with a range: true when the position has reached the range end, where
    // the play loops to the range start or ends.
    bool reachedRangeEnd() const;
    // The notes a range end cuts short get their Note Off.
    void releaseSoundingNotes();
    // Ends the play as the song's own end does (WM_MIDI_END, wParam 0).
    void endByItself();
    void seek(std::int32_t target);
    int sequencerStep(StepMode mode);
    bool dispatch(MidiTrack& track, StepMode mode);
    float ticksPerCallback() const;
    void startTimer();
    void killTimer();
    void notify(unsigned message, unsigned wParam);

    std::unique_ptr<platform::PeriodicTimer> timer_;
    std::unique_ptr<platform::MidiOut> output_;
    OutputFactory openOutput_;
    MidiPlayerOwner* owner_ = nullptr;

    MidiSong song_;
    bool loaded_ = false;
    std::string message_;

    std::uint32_t timerPeriodMs_ = 1;
    std::atomic<bool> timerRunning_{false};
    std::atomic<float> position_{0.0f};
    std::atomic<std::uint32_t> tempo_{kDefaultTempo}; // the tempo in force while playing
    std::atomic<float> tempoFactor_{1.0f};
    std::atomic<std::uint32_t> volumePercent_{100};
    std::atomic<bool> loop_{false};
    std::atomic<int> state_{Stopped};
    std::atomic<int> mode_{-1};
    std::array<std::atomic<bool>, 16> muteRequested_{};
    std::array<bool, 16> muted_{}; // timer thread only
    // Keys a Note On left sounding, per channel: timer thread only, and seek, which runs
    // while no callback can.
    std::array<std::bitset<128>, 16> sounding_{};
    std::int64_t lastTickSecond_ = -1; // timer thread only
    // Moves on at every play from stopped and every stop, so a callback whose owner
    // restarted or stopped the player while being told something goes no further.
    std::atomic<unsigned> generation_{0};
};

} // namespace orka::audio::midi
