#include "orka/app/ui/OrkaView.h"

#include "orka/app/ItemPictures.h"
#include "orka/app/ui/GalleryItemModel.h"
#include "orka/ui/UiText.h"

#include <QPainter>

#include <algorithm>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace orka::app::ui {

namespace {
constexpr unsigned kStrPlay = 33402;
constexpr unsigned kStrStop = 33403;
constexpr unsigned kStrPreviewPane = 33406;
constexpr int kMaxZoom = 3; // small handset pictures are drawn at most three times their size
} // namespace

// Draws one picture centred, as large as fits at a whole zoom factor (or shrunk to fit).
class PreviewCanvas : public QWidget {
public:
    using QWidget::QWidget;
    // At its own size, or zoomed to fill the pane.
    void setImage(QImage image, bool ownSize = false)
    {
        image_ = std::move(image);
        ownSize_ = ownSize;
        update();
    }
    const QImage& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().base());
        if (image_.isNull())
            return;
        QSize size = image_.size();
        const int zoom = ownSize_ ? 1 : std::clamp(std::min(width() / std::max(size.width(), 1), height() / std::max(size.height(), 1)),
                                    1, kMaxZoom);
        size *= zoom;
        if (size.width() > width() || size.height() > height())
            size.scale(this->size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        p.drawImage(target, image_);
    }

private:
    QImage image_;
    bool ownSize_ = false;
};

COrkaView::COrkaView(QWidget* parent)
    : QWidget(parent), canvas_(new PreviewCanvas(this)), playButton_(new QToolButton(this)),
      effectTimer_(new QTimer(this))
{
    effectTimer_->setInterval(ShrinkEnlargeEffect::kPause);
    connect(effectTimer_, &QTimer::timeout, this, &COrkaView::nextEffectStep);
    setAccessibleName(orka::ui::uiText(kStrPreviewPane));
    canvas_->setAccessibleName(orka::ui::uiText(kStrPreviewPane));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(canvas_, 1);
    layout->addWidget(playButton_, 0, Qt::AlignHCenter);
    playButton_->setText(orka::ui::uiText(kStrPlay));
    playButton_->setAccessibleName(playButton_->text());
    playButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    playButton_->setEnabled(false);
    connect(playButton_, &QToolButton::clicked, this, [this] { playing_ ? stop() : play(); });
}

COrkaView::~COrkaView()
{
    stopAnimation();
    // The players stop their threads before the view they report to goes.
    if (midi_)
        midi_->shutDown();
    smaf_.reset();
}

const QImage& COrkaView::shownImage() const { return canvas_->image(); }

void COrkaView::showItem(const GalleryItem* item)
{
    effectTimer_->stop();
    effectSteps_.clear();
    stop();
    stopAnimation();
    frames_.clear();
    delays_.clear();
    tune_.reset();
    if (item) {
        if (const auto* animation = std::get_if<AnimationContent>(&item->content)) {
            for (const AnimationFrame& frame : animation->frames) {
                frames_.push_back(bitmapImage(frame.bitmap));
                delays_.push_back(frame.value);
            }
        } else if (const auto* melody = std::get_if<MelodyContent>(&item->content)) {
            tune_ = *melody;
        } else {
            frames_.push_back(itemImage(*item));
        }
    }
    canvas_->setImage(frames_.empty() ? QImage() : frames_.front());
    playButton_->setEnabled(tune_.has_value());
    if (frames_.size() > 1) {
        // Frames start on the player's thread; they are drawn on this one.
        animator_.start(delays_, [this](int index) {
            QMetaObject::invokeMethod(this, [this, index] { showFrame(index); }, Qt::QueuedConnection);
        });
    }
}

void COrkaView::playShrinkEnlarge(const Bitmap& picture)
{
    stopAnimation();
    ShrinkEnlargeEffect effect;
    const DibPicture dib = pictureFromBitmap(picture);
    effectSteps_.clear();
    for (const auto& drawing : effect.drawings(dib, canvas_->width(), canvas_->height())) {
        const DibPicture& p = *drawing.picture;
        effectSteps_.push_back(QImage(p.pixels(), int(p.width()), int(p.height()), qsizetype(p.stride()),
                                      QImage::Format_BGR888)
                                   .copy());
    }
    std::reverse(effectSteps_.begin(), effectSteps_.end());
    nextEffectStep();
    if (!effectSteps_.empty() || effectTimer_->isActive())
        effectTimer_->start();
}

void COrkaView::nextEffectStep()
{
    if (effectSteps_.empty()) {
        effectTimer_->stop();
        if (!frames_.empty())
            canvas_->setImage(frames_.front());
        return;
    }
    canvas_->setImage(effectSteps_.back(), true);
    effectSteps_.pop_back();
}

void COrkaView::showFrame(int index)
{
    if (index >= 0 && std::size_t(index) < frames_.size())
        canvas_->setImage(frames_[std::size_t(index)]);
}

void COrkaView::stopAnimation()
{
    animator_.stop();
    animator_.join();
}

void COrkaView::play()
{
    if (!tune_ || playing_)
        return;
    bool started = false;
    if (tune_->isSmaf()) {
        if (!smaf_)
            smaf_ = smaf::CSmafPlayer::createDefault(this);
        smaf_->setData(tune_->data);
        started = smaf_->play();
    } else {
        if (!midi_) {
            midi_ = std::make_unique<audio::midi::CMidiPlayer>();
            midi_->setUp(this);
        }
        if (midi_->load(tune_->data)) {
            midi_->play(0);
            started = true;
        }
    }
    playing_ = started;
    playButton_->setText(orka::ui::uiText(started ? kStrStop : kStrPlay));
    playButton_->setAccessibleName(playButton_->text());
}

void COrkaView::stop()
{
    if (!playing_)
        return;
    if (midi_)
        midi_->stop();
    if (smaf_)
        smaf_->stop();
    onPlayEnded();
}

void COrkaView::onPlayEnded()
{
    playing_ = false;
    playButton_->setText(orka::ui::uiText(kStrPlay));
    playButton_->setAccessibleName(playButton_->text());
}

void COrkaView::midiNotify(unsigned message, unsigned)
{
    if (message == audio::midi::WM_MIDI_END)
        QMetaObject::invokeMethod(this, [this] { onPlayEnded(); }, Qt::QueuedConnection);
}

void COrkaView::onSmafEnd()
{
    QMetaObject::invokeMethod(this, [this] { onPlayEnded(); }, Qt::QueuedConnection);
}

} // namespace orka::app::ui
