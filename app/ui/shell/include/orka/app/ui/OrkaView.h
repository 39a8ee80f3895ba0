#pragma once
// The preview pane: the selected picture drawn large, an animation played frame by frame with
// its own display times, and a tune played on demand (MIDI on the MIDI output, SMAF through
// the FM synthesizer) with a play/stop button. A machine without sound plays quietly.
#include "orka/app/GalleryModel.h"
#include "orka/audio/midi/CMidiPlayer.h"
#include "orka/picture/Animation.h"
#include "orka/smaf/SmafPlayer.h"

#include <QImage>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QTimer;
class QToolButton;

namespace orka::app::ui {

class PreviewCanvas;

class COrkaView : public QWidget, private audio::midi::MidiPlayerOwner, private smaf::SmafPlayerOwner {
    Q_OBJECT
public:
    explicit COrkaView(QWidget* parent = nullptr);
    ~COrkaView() override;

    // Shows an item (a copy is kept, so the document may change meanwhile); nullptr clears.
    void showItem(const GalleryItem* item);

    bool playing() const { return playing_; }
    bool animating() const { return animator_.playing(); }
    // The picture drawn now (the current frame of an animation).
    const QImage& shownImage() const;
    // The shrink-then-enlarge preview of a picture: smaller and smaller copies, then the
    // picture itself, each drawn at its own size 100 ms after the one before.
    void playShrinkEnlarge(const Bitmap& picture);
    bool showingEffect() const { return !effectSteps_.empty(); }
    QToolButton* playButton() const { return playButton_; }

public Q_SLOTS:
    void play();
    void stop();

private:
    void midiNotify(unsigned message, unsigned wParam) override;
    void onSmafEnd() override;
    void onPlayEnded();
    void stopAnimation();
    void showFrame(int index);
    void nextEffectStep();

    PreviewCanvas* canvas_;
    QToolButton* playButton_;
    std::vector<QImage> frames_;
    std::vector<int> delays_;
    std::optional<MelodyContent> tune_;
    bool playing_ = false;
    std::vector<QImage> effectSteps_; // what is still to be drawn, last first
    QTimer* effectTimer_;
    AnimationPlayer animator_;
    std::unique_ptr<audio::midi::CMidiPlayer> midi_;
    std::unique_ptr<smaf::CSmafPlayer> smaf_;
};

} // namespace orka::app::ui
