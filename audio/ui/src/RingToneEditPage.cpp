#include "orka/audio/ui/RingToneEditPage.h"

#include "orka/audio/midi/AudioStrings.h"
#include "orka/audio/ui/QXRingSlider.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include "ui_FilterLogDialog.h"
#include "ui_RingToneEditPage.h"

#include <QCheckBox>
#include <QDialog>
#include <QThread>

#include <algorithm>

namespace orka::audio::ui {

using midi::CMidiPlayer;
using midi::MakeOutcome;
using midi::QmixChannelFlags;
using orka::ui::uiFormat;
using orka::ui::uiText;

// What the editor asks of its window, answered by the page.
class RingToneEditPage::EditorView final : public midi::RingToneEditorView {
public:
    explicit EditorView(RingToneEditPage& page) : page_(page) {}

    // An OK box: the user never takes a choice here, so a failed channel change keeps the
    // user on the page with the song as it was.
    bool showMessage(unsigned stringId, const std::string& detail) override
    {
        app::Message message;
        message.textId = stringId;
        message.exceptionText = detail; // the converter's own English line, under ours
        orka::ui::showMessage(&page_, message);
        return false;
    }
    void showChannels(const QmixChannelFlags& flags) override { page_.showChannels(flags); }
    void setSliderRange(double minimum, double maximum) override { page_.slider()->setRange(minimum, maximum); }
    void repaint() override { page_.refreshStatus(); }

private:
    RingToneEditPage& page_;
};

namespace {

// The small window with what the channel filter changed in its last preparation.
class FilterLogDialog final : public QDialog {
public:
    explicit FilterLogDialog(QWidget* parent) : QDialog(parent)
    {
        form_.setupUi(this);
        setAttribute(Qt::WA_DeleteOnClose);
    }

    void showLog(const QString& counts, const QString& log)
    {
        form_.countsLabel->setText(counts);
        form_.logText->setPlainText(log);
        show();
        raise();
    }

private:
    ::Ui::FilterLogDialog form_;
};

} // namespace

RingToneEditPage::RingToneEditPage(QWidget* parent) : RingToneEditPage(nullptr, {}, parent) {}

RingToneEditPage::RingToneEditPage(std::unique_ptr<platform::PeriodicTimer> timer,
                                   CMidiPlayer::OutputFactory openOutput, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<::Ui::RingToneEditPage>())
{
    ui_->setupUi(this);
    setWindowTitle(uiText(kStrRingToneEditTitle));
    const std::array<QCheckBox*, 16> boxes = {
        ui_->channel01, ui_->channel02, ui_->channel03, ui_->channel04, ui_->channel05, ui_->channel06,
        ui_->channel07, ui_->channel08, ui_->channel09, ui_->channel10, ui_->channel11, ui_->channel12,
        ui_->channel13, ui_->channel14, ui_->channel15, ui_->channel16};
    channelBoxes_ = boxes;

    view_ = std::make_unique<EditorView>(*this);
    editor_ = std::make_unique<midi::RingToneEditor>(std::move(timer), std::move(openOutput));
    editor_->setView(view_.get());
    // The player speaks from its timer thread; what it says is handled on this thread.
    // Messages raised here (the end a Stop sends) are handled at once, so that they come
    // before whatever the caller does next.
    editor_->setRouter([this](unsigned message, unsigned wParam) {
        if (QThread::currentThread() == thread()) {
            handlePlayerMessage(message, wParam);
            return;
        }
        QMetaObject::invokeMethod(
            this, [this, message, wParam] { handlePlayerMessage(message, wParam); }, Qt::QueuedConnection);
    });
    connectControls();
    refreshStatus();
}

RingToneEditPage::~RingToneEditPage()
{
    // Kill the timer first: no callback may reach a page that is going away.
    editor_->player().stop();
    editor_.reset();
}

QXRingSlider* RingToneEditPage::slider() const
{
    return ui_->slider;
}

QCheckBox* RingToneEditPage::channelBox(int channel) const
{
    return channelBoxes_.at(static_cast<std::size_t>(channel));
}

void RingToneEditPage::connectControls()
{
    connect(ui_->slider, &QXRingSlider::midiRangeChanged, this, &RingToneEditPage::onRangeChanged);
    connect(ui_->playRangeButton, &QAbstractButton::clicked, this, [this] { editor_->playRange(); });
    connect(ui_->playPauseButton, &QAbstractButton::clicked, this, [this] { editor_->playPause(); });
    connect(ui_->stopButton, &QAbstractButton::clicked, this, [this] { editor_->stopRange(); });
    connect(ui_->loopButton, &QAbstractButton::clicked, this, [this] {
        editor_->toggleLoop();
        refreshStatus();
    });
    // Tempo and volume change what the ring tone will weigh.
    const auto thenSize = [this](void (midi::RingToneEditor::*step)()) {
        return [this, step] {
            (editor_.get()->*step)();
            refreshExpectedSize();
        };
    };
    connect(ui_->tempoUpButton, &QAbstractButton::clicked, this, thenSize(&midi::RingToneEditor::tempoUp));
    connect(ui_->tempoDownButton, &QAbstractButton::clicked, this, thenSize(&midi::RingToneEditor::tempoDown));
    connect(ui_->volumeUpButton, &QAbstractButton::clicked, this, thenSize(&midi::RingToneEditor::volumeUp));
    connect(ui_->volumeDownButton, &QAbstractButton::clicked, this, thenSize(&midi::RingToneEditor::volumeDown));
    connect(ui_->applyChannelsButton, &QAbstractButton::clicked, this, &RingToneEditPage::applyChannels);
    for (QCheckBox* box : channelBoxes_)
        connect(box, &QAbstractButton::toggled, this, [this] { refreshStatus(); });
    connect(ui_->logButton, &QAbstractButton::clicked, this, &RingToneEditPage::showFilterLog);
    connect(ui_->nextButton, &QAbstractButton::clicked, this, &RingToneEditPage::makeRingTone);
    connect(ui_->backButton, &QAbstractButton::clicked, this, [this] {
        stopPlayback();
        Q_EMIT backRequested();
    });
}

void RingToneEditPage::setSong(std::vector<std::uint8_t> midi, const QString& name)
{
    ui_->songNameLabel->setText(name);
    // A song opened without the channel filter keeps every box; the filter checks those it finds.
    for (QCheckBox* box : channelBoxes_)
        box->setChecked(true);
    editor_->open(std::move(midi));
    resetRangeToSong();
    refreshExpectedSize();
    refreshStatus();
}

void RingToneEditPage::stopPlayback()
{
    if (editor_->player().state() != CMidiPlayer::Stopped || editor_->playState() != CMidiPlayer::Stopped)
        editor_->stopRange();
}

void RingToneEditPage::resetRangeToSong()
{
    const CMidiPlayer& player = editor_->player();
    const double length = player.songLength();
    // A range shorter than a second of the song is no ring tone.
    double oneSecond = 0.0;
    if (player.loaded() && player.song().division > 0 && player.song().tempo > 0)
        oneSecond = player.song().division * 1000000.0 / player.song().tempo;
    ui_->slider->setMinimumRangeLength(std::min(oneSecond, length));
    ui_->slider->setMarkers(0.0, length);
    editor_->setRange(0, static_cast<std::int32_t>(length));
}

void RingToneEditPage::showChannels(const QmixChannelFlags& flags)
{
    for (std::size_t ch = 0; ch < flags.size(); ++ch) {
        const QSignalBlocker quiet(channelBoxes_[ch]);
        channelBoxes_[ch]->setChecked(flags[ch] != 0);
    }
}

QmixChannelFlags RingToneEditPage::checkedChannels() const
{
    QmixChannelFlags flags{};
    for (std::size_t ch = 0; ch < flags.size(); ++ch)
        flags[ch] = channelBoxes_[ch]->isChecked() ? 1u : 0u;
    return flags;
}

void RingToneEditPage::applyChannels()
{
    if (!editor_->player().loaded())
        return;
    const auto previousLength = editor_->player().songLength();
    const auto previousStart = editor_->rangeStart();
    const auto previousEnd = editor_->rangeEnd();
    if (!editor_->changeChannels(checkedChannels())) {
        // The filter refused; the song plays on as it was and the boxes keep the user's choice.
        refreshStatus();
        return;
    }
    // The editor resets a range the new song cannot hold; the slider follows it.
    const CMidiPlayer& player = editor_->player();
    if (player.songLength() != previousLength || editor_->rangeStart() != previousStart ||
        editor_->rangeEnd() != previousEnd) {
        ui_->slider->setMarkers(editor_->rangeStart(), editor_->rangeEnd());
        editor_->setRange(static_cast<std::int32_t>(ui_->slider->rangeStart()),
                          static_cast<std::int32_t>(ui_->slider->rangeEnd()));
    }
    refreshNoteCounts();
    refreshExpectedSize();
    refreshStatus();
}

void RingToneEditPage::onRangeChanged(int what, double value)
{
    const bool sounding = editor_->player().state() != CMidiPlayer::Stopped;
    switch (static_cast<RangeChange>(what)) {
    case RangeChange::StartDragged:
    case RangeChange::EndDragged:
    case RangeChange::RangeDragged:
        editor_->setRange(static_cast<std::int32_t>(ui_->slider->rangeStart()),
                          static_cast<std::int32_t>(ui_->slider->rangeEnd()));
        rangeMovedSinceRelease_ = true;
        break;
    case RangeChange::PositionMoved:
    case RangeChange::TrackClicked:
        // A stopped song only shows the point it will start from; a sounding one must seek
        // there, as the player's position cannot change under it. A thumb dragged during
        // play seeks when it is let go, not on every move; pressing it alone seeks nowhere.
        if (!sounding)
            editor_->setShownPosition(value);
        else if (ui_->slider->dragMode() == QXRingSlider::DragMode::Position)
            pendingSeek_ = value != editor_->shownPosition() ? std::optional<double>(value) : std::nullopt;
        else
            seekTo(value);
        break;
    case RangeChange::DragEnded:
        if (pendingSeek_) {
            seekTo(*pendingSeek_);
            pendingSeek_.reset();
        }
        // The size is worked out once the user lets go, not on every move.
        if (rangeMovedSinceRelease_) {
            rangeMovedSinceRelease_ = false;
            refreshExpectedSize();
        }
        break;
    }
    refreshStatus();
}

void RingToneEditPage::seekTo(double ticks)
{
    const bool wasPlaying = editor_->playState() == CMidiPlayer::Playing;
    editor_->stopRange();
    editor_->setShownPosition(ticks);
    if (wasPlaying)
        editor_->playPause(); // plays the song on from the shown position
}

void RingToneEditPage::handlePlayerMessage(unsigned message, unsigned wParam)
{
    // A natural end that was on its way while the user started the player again is old news.
    if (message == midi::WM_MIDI_END && wParam == 0 && editor_->player().state() == CMidiPlayer::Playing)
        return;
    editor_->handlePlayerMessage(message, wParam);
    refreshStatus();
}

void RingToneEditPage::refreshStatus()
{
    const CMidiPlayer& player = editor_->player();
    const auto seconds = static_cast<int>(player.playingSeconds());
    ui_->timeLabel->setText(QString::asprintf(kPlayingTimeFormat, seconds / 60, seconds % 60));
    ui_->positionLabel->setText(QString::asprintf(kPositionFormat, static_cast<int>(editor_->shownPosition())));
    ui_->lengthLabel->setText(QString::asprintf(kSongLengthFormat, static_cast<int>(player.songLength())));
    if (ui_->slider->dragMode() == QXRingSlider::DragMode::None)
        ui_->slider->setPosition(editor_->shownPosition());

    ui_->bpmLabel->setText(QString::number(editor_->beatsPerMinute()));
    ui_->volumeLabel->setText(QString::number(editor_->volumePercent()));
    ui_->loopButton->setChecked(editor_->loopOn());

    const bool loaded = player.loaded();
    const QmixChannelFlags boxes = checkedChannels();
    const bool anyChannel = std::any_of(boxes.begin(), boxes.end(), [](std::uint32_t f) { return f != 0; });
    ui_->playRangeButton->setEnabled(loaded && anyChannel && editor_->rangeEnd() > editor_->rangeStart());
    ui_->playPauseButton->setEnabled(loaded);
    ui_->stopButton->setEnabled(loaded && editor_->playState() != CMidiPlayer::Stopped);
    ui_->applyChannelsButton->setEnabled(loaded && boxes != editor_->channelSelection());
    ui_->nextButton->setEnabled(loaded && anyChannel && editor_->rangeEnd() > editor_->rangeStart());
    for (QWidget* w : {static_cast<QWidget*>(ui_->tempoGroup), static_cast<QWidget*>(ui_->volumeGroup),
                       static_cast<QWidget*>(ui_->slider)})
        w->setEnabled(loaded);
}

void RingToneEditPage::refreshExpectedSize()
{
    const auto kb = editor_->expectedSizeKb();
    ui_->sizeLabel->setText(kb ? QString::number(*kb, 'f', 2) : QString());
    refreshNoteCounts();
}

void RingToneEditPage::refreshNoteCounts()
{
    const auto counts = editor_->noteCounts();
    ui_->notesLabel->setText(counts ? uiFormat(kStrNotesKept, {QString::number(counts->kept), QString::number(counts->total)})
                                    : QString());
    ui_->logButton->setEnabled(counts.has_value() || !editor_->filterLog().empty());
    if (logWindow_)
        showFilterLog(); // an open log window follows the latest preparation
}

void RingToneEditPage::showFilterLog()
{
    auto* window = static_cast<FilterLogDialog*>(logWindow_.data());
    if (!window) {
        window = new FilterLogDialog(this);
        logWindow_ = window;
    }
    const std::string& log = editor_->filterLog();
    window->showLog(ui_->notesLabel->text(), log.empty() ? uiText(kStrFilterLogEmpty) : orka::ui::fromUtf8(log));
}

void RingToneEditPage::makeRingTone()
{
    stopPlayback();
    std::vector<std::uint8_t> smaf;
    std::string converterMessage;
    const MakeOutcome outcome = editor_->makeRingTone(smaf, converterMessage);
    refreshNoteCounts();
    switch (outcome) {
    case MakeOutcome::Made:
        ui_->sizeLabel->setText(QString::number(static_cast<double>(smaf.size()) / 1024.0, 'f', 2));
        Q_EMIT ringToneMade(smaf);
        break;
    case MakeOutcome::FilterRejected:
        orka::ui::showMessage(this, midi::kIdRingLogWritten);
        break;
    case MakeOutcome::FilterFailed:     // the editor has shown "轉換失敗"
    case MakeOutcome::ConversionFailed: // the editor has shown "轉換檔案失敗!" with the converter's text
    case MakeOutcome::NothingToMake:
        break;
    }
    refreshStatus();
}

} // namespace orka::audio::ui
