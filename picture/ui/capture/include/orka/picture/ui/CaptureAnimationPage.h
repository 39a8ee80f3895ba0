#pragma once
// The wizard page that captures an animation (dialog 169): a GIF file is opened, its frames
// shown in a strip, five of them chosen by one of three rules, the result previewed by
// playing it on a worker thread, and "下一步" hands the five frames on as one animation item.
#include "orka/app/GalleryModel.h"
#include "orka/picture/Animation.h"

#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class CaptureAnimationPage;
}
class QAbstractButton;

namespace orka::picture::ui {

class CaptureAnimationPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDialogId = 169;
    static constexpr unsigned kTitleId = 32805;   // "精靈 - 截取動畫"
    static constexpr unsigned kHelpTopic = 5024;
    static constexpr int kAnimationCategory = 50000;

    explicit CaptureAnimationPage(QWidget* parent = nullptr);
    ~CaptureAnimationPage() override;

    // False, after showing the message, for a file that is no GIF, has fewer than five
    // frames or is too large to decode; the page then keeps the animation it had.
    bool setSourceFile(const QString& path);
    QString sourceFile() const { return sourceFile_; }
    // Stops playback and the effect, releases the rule buttons and forgets the chosen frames,
    // so the next pass starts from the bare frame list.
    void resetTools();

    int frameCount() const;
    const FrameSelector& selector() const { return selector_; }
    bool playing() const { return player_.playing(); }
    // The frame of the animation the preview shows.
    int shownFrame() const { return shownFrame_; }
    double zoom() const;
    // The five frames "下一步" would hand on; empty when no rule has chosen them yet.
    std::optional<app::AnimationContent> capturedAnimation();

Q_SIGNALS:
    void animationCaptured(const orka::app::AnimationContent& animation);
    void backRequested();
    // From the playback thread, delivered queued: position `index` of the played list starts.
    void framePlayed(int index);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void chooseFile();
    void chooseRule(SelectionMode mode);
    void play();
    void stop();
    void showPlayedFrame(int index);
    void showFrame(int frame);
    void fillChosenStrip();
    void zoomIn();
    void zoomOut();
    void fitToView();
    void applyZoom(double factor, bool zoomInEnabled, bool zoomOutEnabled);
    void runEffect();
    void nextEffectStep();
    void updateCommands();
    void goNext();

    std::unique_ptr<Ui::CaptureAnimationPage> ui_;
    QString sourceFile_;
    std::optional<Animation> animation_;
    FrameSelector selector_;
    AnimationPlayer player_;
    std::vector<int> playList_;
    int shownFrame_ = 0;
    ShrinkEnlargeEffect effect_;
    std::vector<QImage> effectSteps_;
    std::size_t effectStep_ = 0;
    QTimer effectTimer_;
};

} // namespace orka::picture::ui
