#pragma once
// The wizard's ring-tone editing page (dialog 141): a MIDI song with the range slider, its
// playback controls, tempo and volume, the channels to keep, and "下一步" making the ring
// tone. The rules live in midi::RingToneEditor; this page connects them to its widgets.
#include "orka/audio/midi/RingToneEditor.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;

namespace Ui {
class RingToneEditPage;
}

namespace orka::audio::ui {

class QXRingSlider;

inline constexpr int kRingToneEditDialogId = 141;
inline constexpr unsigned kStrRingToneEditTitle = 65057; // "精靈 - 鈴聲編輯"
inline constexpr unsigned kStrNotesKept = 61200;          // "保留音符: %d / %d"
inline constexpr unsigned kStrFilterLogEmpty = 61201;     // the filter changed nothing

// The three numbers of the status panel, formatted as the editor always showed them.
inline constexpr const char* kPlayingTimeFormat = "%02d:%02d";
inline constexpr const char* kPositionFormat = "%d";
inline constexpr const char* kSongLengthFormat = "<%d>";

class RingToneEditPage : public QWidget {
    Q_OBJECT
public:
    // Plays through the system timer and MIDI output (the quiet one when there is none).
    explicit RingToneEditPage(QWidget* parent = nullptr);
    // Plays through the given timer and output (tests drive a manual timer and record).
    RingToneEditPage(std::unique_ptr<platform::PeriodicTimer> timer, midi::CMidiPlayer::OutputFactory openOutput,
                     QWidget* parent = nullptr);
    ~RingToneEditPage() override;

    // Opens a song: the channels it uses, the whole song as the range, the expected size.
    void setSong(std::vector<std::uint8_t> midi, const QString& name);
    // Stops any play; the wizard calls it when it leaves the page.
    void stopPlayback();

    midi::RingToneEditor& editor() { return *editor_; }
    QXRingSlider* slider() const;
    QCheckBox* channelBox(int channel) const;
    // The filter log window once it has been opened.
    QWidget* filterLogWindow() const { return logWindow_; }

Q_SIGNALS:
    // "下一步" made the ring tone: the SMAF bytes for the next page.
    void ringToneMade(const std::vector<std::uint8_t>& smaf);
    // "上一步": back to choosing the file.
    void backRequested();

private Q_SLOTS:
    void onRangeChanged(int what, double value);
    void applyChannels();
    void makeRingTone();
    void showFilterLog();

private:
    class EditorView;

    void connectControls();
    void handlePlayerMessage(unsigned message, unsigned wParam);
    // Moves a sounding song to a new position: stopped there, and playing on if it played.
    void seekTo(double ticks);
    void showChannels(const midi::QmixChannelFlags& flags);
    midi::QmixChannelFlags checkedChannels() const;
    // The markers, the minimum range and the editor's range after the song changed length.
    void resetRangeToSong();
    void refreshStatus();
    void refreshExpectedSize();
    void refreshNoteCounts();

    std::unique_ptr<::Ui::RingToneEditPage> ui_;
    std::array<QCheckBox*, 16> channelBoxes_{};
    std::unique_ptr<EditorView> view_;
    std::unique_ptr<midi::RingToneEditor> editor_;
    bool rangeMovedSinceRelease_ = false;
    std::optional<double> pendingSeek_; // where the thumb was let go of during play
    QPointer<QWidget> logWindow_;
};

} // namespace orka::audio::ui
