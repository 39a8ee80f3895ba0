#pragma once
// The ring-tone editor without its widgets: the song, the player in editor mode, range,
// loop, tempo and volume rules, the channel change through the channel filter, and making
// the ring tone through the filter and the converter. Runs on the user-interface thread.
#include "orka/audio/midi/CMidiPlayer.h"
#include "orka/audio/midi/ConverterBindings.h"
#include "orka/audio/midi/RingToneAssembly.h"
#include "orka/common/FilterLog.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orka::platform {
class PeriodicTimer;
}

namespace orka::audio::midi {

// What the editor asks of its window.
class RingToneEditorView {
public:
    virtual ~RingToneEditorView() = default;
    // Shows a string-table text (with the converter's message as `detail`, if any);
    // returns true when the user takes the first choice.
    virtual bool showMessage(unsigned /*stringId*/, const std::string& /*detail*/) { return false; }
    virtual void postToParent(unsigned /*message*/) {}
    virtual void showChannels(const QmixChannelFlags& /*flags*/) {}
    virtual void setSliderRange(double /*minimum*/, double /*maximum*/) {}
    virtual void repaint() {}
};

// Room for the converter's SMAF: ten times the song, but never less than kMinSmafCapacity. A
// short song with long rests grows by more than ten times, since SMAF spells out each rest;
// ten hours of rest before one note make a SMAF of some twenty times the song.
inline constexpr std::size_t kMinSmafCapacity = 64 * 1024;
constexpr std::size_t smafCapacityFor(std::size_t songBytes)
{
    return songBytes * 10 < kMinSmafCapacity ? kMinSmafCapacity : songBytes * 10;
}

enum class MakeOutcome {
    Made,
    NothingToMake,    // no range at all
    FilterRejected,   // the channel filter could not read the song; it went to RingLog.log
    FilterFailed,     // "轉換失敗"
    ConversionFailed, // the converter's result was not 1
};

class RingToneEditor final : public MidiPlayerOwner {
public:
    static constexpr unsigned kParentConversionFailed = 0x0459;
    static constexpr int kVolumeCeilingUnset = 10000;

    explicit RingToneEditor(std::unique_ptr<platform::PeriodicTimer> timer = nullptr,
                            CMidiPlayer::OutputFactory openOutput = {});
    ~RingToneEditor() override;

    void setView(RingToneEditorView* view) { view_ = view; }
    // How player messages reach the editor's thread. Without a router they are handled at
    // once on the thread that raised them: right for a manual timer; with the system timer
    // a window posts them to its own thread and calls handlePlayerMessage there.
    void setRouter(std::function<void(unsigned, unsigned)> router) { router_ = std::move(router); }

    // What each song opens with, from the preferences' audio page: "Default Setting" starts
    // every song at its own tempo and full volume (off: the last song's steps carry over),
    // "Auto repeat" starts it with loop on.
    struct OpeningRules {
        bool ownTempoAndVolume = true;
        bool loop = false;
    };
    void setOpeningRules(OpeningRules rules) { rules_ = rules; }

    // Opens a song: channel detection through the filter, then the player loads it.
    bool open(std::vector<std::uint8_t> song);
    // Applies a new channel selection through the filter; false when the filter failed.
    bool changeChannels(const QmixChannelFlags& selection);

    void playRange();
    void playPause(); // whole-song play, pause and resume
    void stopRange();
    void toggleLoop();
    void tempoUp();
    void tempoDown();
    void volumeUp();
    void volumeDown();
    void setRange(std::int32_t start, std::int32_t end);
    void setShownPosition(double ticks);

    // WM_MIDI_TICK and WM_MIDI_END, on the editor's thread.
    void handlePlayerMessage(unsigned message, unsigned wParam);

    // The assembled song of the current range (empty when there is no range).
    std::vector<std::uint8_t> assembledSong() const;
    // The save and upload path: SMAF bytes on success, the converter's text in `message`.
    MakeOutcome makeRingTone(std::vector<std::uint8_t>& smaf, std::string& message);
    // The size display: SMAF kilobytes, or nothing when the conversion fails.
    std::optional<double> expectedSizeKb();

    // State, for the window and for tests.
    CMidiPlayer& player() { return player_; }
    const CMidiPlayer& player() const { return player_; }
    int playState() const { return playState_; }
    int rangeMode() const { return rangeMode_.load(); }
    bool loopOn() const { return loop_; }
    std::int32_t rangeStart() const { return rangeStart_.load(); }
    std::int32_t rangeEnd() const { return rangeEnd_.load(); }
    float tempoFactor() const { return static_cast<float>(tempoTenths_) / 10.0f; }
    int beatsPerMinute() const { return beatsPerMinute_; }
    int volumePercent() const { return volumePercent_.load(); }
    int volumeCeiling() const { return volumeCeiling_; }
    const QmixChannelFlags& channelSelection() const { return selection_; }
    double shownPosition() const { return shownPosition_; }
    bool busy() const { return busy_; }
    const std::vector<std::uint8_t>& workingSong() const { return workingSong_; }
    // What the channel filter changed in its last preparation (a channel change or the song
    // made into a ring tone), and how many of the notes it was given it kept.
    const std::string& filterLog() const { return filterLog_; }
    std::optional<common::NoteCounts> noteCounts() const { return common::lastNoteCounts(filterLog_); }

    // MidiPlayerOwner
    void midiNotify(unsigned message, unsigned wParam) override;
    int editorVolumePercent() const override { return volumePercent_.load(); }
    int editorRangeMode() const override { return rangeMode_.load(); }
    std::int32_t editorRangeStart() const override { return rangeStart_.load(); }
    std::int32_t editorRangeEnd() const override { return rangeEnd_.load(); }

private:
    bool anyChannelSelected() const;
    void applyTempo();
    bool loadWorkingSong();
    std::optional<std::vector<std::uint8_t>> filterForMaking(const std::vector<std::uint8_t>& assembled, MakeOutcome& outcome);

    CMidiPlayer player_;
    RingToneEditorView defaultView_;
    RingToneEditorView* view_ = &defaultView_;
    std::function<void(unsigned, unsigned)> router_;

    std::vector<std::uint8_t> workingSong_;
    std::vector<std::uint8_t> openedSong_;
    int playState_ = CMidiPlayer::Stopped;
    std::atomic<int> rangeMode_{1};
    bool loop_ = false;
    std::atomic<std::int32_t> rangeStart_{0};
    std::atomic<std::int32_t> rangeEnd_{0};
    static constexpr int kOwnTempoTenths = 10;
    static constexpr int kFullVolumePercent = 100;
    OpeningRules rules_;
    int tempoTenths_ = kOwnTempoTenths; // the factor in tenths, so steps never drift
    int beatsPerMinute_ = 0;
    std::atomic<int> volumePercent_{kFullVolumePercent};
    int volumeCeiling_ = kVolumeCeilingUnset;
    QmixChannelFlags selection_{};
    double shownPosition_ = 0.0;
    bool busy_ = false;
    std::string filterLog_;
};

} // namespace orka::audio::midi
