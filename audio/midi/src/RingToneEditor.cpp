#include "orka/audio/midi/RingToneEditor.h"

#include "orka/audio/midi/AudioStrings.h"
#include "orka/platform/MidiOut.h"
#include "orka/platform/PeriodicTimer.h"
#include "orka/platform/StatePaths.h"

#include <algorithm>
#include <filesystem>

namespace orka::audio::midi {

RingToneEditor::RingToneEditor(std::unique_ptr<platform::PeriodicTimer> timer, CMidiPlayer::OutputFactory openOutput)
    : player_(std::move(timer))
{
    selection_.fill(1);
    player_.setUp(this, std::move(openOutput));
    player_.setMode(CMidiPlayer::kEditorMode);
}

RingToneEditor::~RingToneEditor()
{
    // No notifications into a half-destroyed editor.
    view_ = &defaultView_;
    router_ = nullptr;
    player_.shutDown();
}

void RingToneEditor::midiNotify(unsigned message, unsigned wParam)
{
    if (router_)
        router_(message, wParam);
    else
        handlePlayerMessage(message, wParam);
}

bool RingToneEditor::anyChannelSelected() const
{
    return std::any_of(selection_.begin(), selection_.end(), [](std::uint32_t f) { return f != 0; });
}

bool RingToneEditor::open(std::vector<std::uint8_t> song)
{
    player_.stop();
    playState_ = CMidiPlayer::Stopped;
    {
        QmixBinding qmix;
        const auto length = static_cast<std::int32_t>(std::min<std::size_t>(song.size(), INT32_MAX / 2));
        if (qmix.usable() && qmix.detect(song.data(), length) == 0) {
            std::vector<std::uint8_t> output(static_cast<std::size_t>(length) * 2);
            std::int32_t outputLength = static_cast<std::int32_t>(output.size());
            if (qmix.convert(song.data(), length, output.data(), &outputLength) == 0 && qmix.getInfo(selection_) == 0)
                view_->showChannels(selection_);
        }
    }
    openedSong_ = song;
    workingSong_ = std::move(song);
    rangeStart_.store(0);
    rangeEnd_.store(0);
    rangeMode_.store(1);
    shownPosition_ = 0.0;
    if (rules_.ownTempoAndVolume) {
        tempoTenths_ = kOwnTempoTenths;
        volumePercent_.store(kFullVolumePercent);
        volumeCeiling_ = kVolumeCeilingUnset;
    }
    if (loop_ != rules_.loop)
        toggleLoop();
    if (!loadWorkingSong()) {
        view_->showMessage(kIdSongNotLoaded, {});
        return false;
    }
    applyTempo();
    return true;
}

bool RingToneEditor::loadWorkingSong()
{
    const bool loaded = player_.load(workingSong_);
    view_->setSliderRange(0.0, loaded ? player_.songLength() : 0);
    return loaded;
}

bool RingToneEditor::changeChannels(const QmixChannelFlags& selection)
{
    selection_ = selection;
    const bool wasPlaying = player_.state() == CMidiPlayer::Playing;
    const std::int32_t resumeAt = player_.position();
    if (wasPlaying) {
        busy_ = true;
        player_.stop();
    }

    QmixBinding qmix;
    const auto length = static_cast<std::int32_t>(std::min<std::size_t>(openedSong_.size(), INT32_MAX / 2));
    std::vector<std::uint8_t> output(static_cast<std::size_t>(length) * 2);
    std::int32_t outputLength = static_cast<std::int32_t>(output.size());
    qmix.reset();
    qmix.detect(openedSong_.data(), length);
    qmix.setInfo(selection_);
    const std::int32_t converted = qmix.convert(openedSong_.data(), length, output.data(), &outputLength);
    filterLog_ = qmix.log();
    if (converted != 0 || outputLength < 0 || static_cast<std::size_t>(outputLength) > output.size()) {
        busy_ = false;
        if (view_->showMessage(kIdConversionFailed, {}))
            view_->postToParent(kParentConversionFailed);
        return false;
    }
    output.resize(static_cast<std::size_t>(outputLength));
    workingSong_ = std::move(output);
    loadWorkingSong();
    const std::int32_t length2 = player_.songLength();

    const bool anySelected = anyChannelSelected();
    if (!anySelected || rangeStart_.load() > length2 || rangeEnd_.load() > length2) {
        view_->showMessage(kIdRangeReset, {});
        rangeStart_.store(0);
        rangeEnd_.store(length2);
    }
    if (wasPlaying && anySelected && player_.loaded()) {
        player_.play(resumeAt);
        player_.setVolume(player_.volumePercent());
        playState_ = CMidiPlayer::Playing;
    } else {
        playState_ = CMidiPlayer::Stopped;
        shownPosition_ = 0.0;
    }
    if (shownPosition_ > length2)
        shownPosition_ = 0.0;
    busy_ = false;
    view_->repaint();
    return true;
}

void RingToneEditor::playRange()
{
    if (rangeEnd_.load() <= rangeStart_.load() || !anyChannelSelected() || !player_.loaded())
        return;
    busy_ = true;
    player_.stop();
    rangeMode_.store(2);
    player_.play(rangeStart_.load());
    playState_ = CMidiPlayer::Playing;
    busy_ = false;
    view_->repaint();
}

void RingToneEditor::playPause()
{
    if (rangeMode_.load() == 2) {
        if (playState_ != CMidiPlayer::Stopped)
            return; // a range play is stopped, not paused
        rangeMode_.store(1);
    }
    if (playState_ == CMidiPlayer::Playing) {
        player_.pause();
        playState_ = CMidiPlayer::Paused;
    } else if (playState_ == CMidiPlayer::Paused) {
        player_.play(player_.position());
        playState_ = CMidiPlayer::Playing;
    } else if (player_.loaded()) {
        player_.play(static_cast<std::int32_t>(shownPosition_));
        playState_ = CMidiPlayer::Playing;
    }
    view_->repaint();
}

void RingToneEditor::stopRange()
{
    playState_ = CMidiPlayer::Stopped;
    player_.stop();
    view_->repaint();
}

void RingToneEditor::toggleLoop()
{
    loop_ = !loop_;
    player_.toggleLoop();
}

void RingToneEditor::applyTempo()
{
    player_.setTempoFactor(tempoFactor());
    beatsPerMinute_ = static_cast<int>(player_.tempoQuery(false));
    view_->repaint();
}

void RingToneEditor::tempoUp()
{
    if (tempoTenths_ < 20)
        ++tempoTenths_;
    applyTempo();
}

void RingToneEditor::tempoDown()
{
    if (--tempoTenths_ <= 0)
        tempoTenths_ = 1;
    applyTempo();
}

void RingToneEditor::volumeUp()
{
    int percent = volumePercent_.load();
    if (percent >= 200)
        return;
    percent = std::min(200, percent + 10);
    volumePercent_.store(percent);
    const auto& song = player_.song();
    bool tooLoud = false;
    for (int ch = 0; ch < 16 && player_.loaded(); ++ch)
        if (song.channels[static_cast<std::size_t>(ch)].hasNotes &&
            std::uint64_t{song.effectiveVolume(ch)} * static_cast<std::uint64_t>(percent) / 100 > 127)
            tooLoud = true;
    if (tooLoud) {
        if (volumeCeiling_ == kVolumeCeilingUnset)
            volumeCeiling_ = percent - 10;
    } else {
        player_.setVolume(static_cast<std::uint32_t>(percent));
    }
    view_->repaint();
}

void RingToneEditor::volumeDown()
{
    int percent = volumePercent_.load();
    if (percent < 1)
        return;
    percent = std::max(0, percent - 10);
    volumePercent_.store(percent);
    if (percent <= volumeCeiling_)
        player_.setVolume(static_cast<std::uint32_t>(percent));
    view_->repaint();
}

void RingToneEditor::setRange(std::int32_t start, std::int32_t end)
{
    rangeStart_.store(std::max(0, start));
    rangeEnd_.store(std::max(0, end));
}

void RingToneEditor::setShownPosition(double ticks)
{
    shownPosition_ = std::max(0.0, ticks);
    player_.setPosition(static_cast<float>(shownPosition_));
}

void RingToneEditor::handlePlayerMessage(unsigned message, unsigned /*wParam*/)
{
    if (message == WM_MIDI_TICK) {
        if (busy_)
            return;
        if (playState_ == CMidiPlayer::Playing) {
            shownPosition_ = player_.position();
            view_->repaint();
        }
        // The range end is the player's: it loops or ends there on its own tick, so a range
        // never sounds past its end while waiting for this once-a-second message.
        return;
    }
    if (message == WM_MIDI_END) {
        if (busy_ && !player_.timerRunning())
            return;
        playState_ = CMidiPlayer::Stopped;
        if (!busy_) {
            const bool inRange = rangeMode_.load() == 2 && rangeEnd_.load() > rangeStart_.load();
            shownPosition_ = inRange ? rangeStart_.load() : 0;
            player_.setPosition(static_cast<float>(shownPosition_));
        }
        view_->repaint();
    }
}

std::vector<std::uint8_t> RingToneEditor::assembledSong() const
{
    if (!player_.loaded() || (rangeStart_.load() == 0 && rangeEnd_.load() == 0))
        return {};
    RingToneSettings settings;
    settings.rangeStart = rangeStart_.load();
    settings.rangeEnd = rangeEnd_.load() > 0 ? rangeEnd_.load() : player_.songLength();
    settings.volumePercent = player_.volumePercent();
    settings.tempoFactor = tempoFactor();
    return assembleRingTone(player_.song(), settings);
}

std::optional<std::vector<std::uint8_t>> RingToneEditor::filterForMaking(const std::vector<std::uint8_t>& assembled,
                                                                        MakeOutcome& outcome)
{
    QmixBinding qmix;
    qmix.reset();
    const auto length = static_cast<std::int32_t>(assembled.size());
    if (qmix.detect(assembled.data(), length) != 0) {
        // Kept for whoever looks into why the filter refused it.
        const auto log = platform::StatePaths::ringLogFile();
        std::error_code ec;
        std::filesystem::create_directories(log.parent_path(), ec);
        platform::writeFileAtomically(log, assembled.data(), assembled.size());
        outcome = MakeOutcome::FilterRejected;
        return std::nullopt;
    }
    qmix.setInfo(selection_);
    std::vector<std::uint8_t> output(assembled.size() * 2);
    std::int32_t outputLength = static_cast<std::int32_t>(output.size());
    const std::int32_t converted = qmix.convert(assembled.data(), length, output.data(), &outputLength);
    filterLog_ = qmix.log();
    if (converted != 0 || outputLength <= 0 || static_cast<std::size_t>(outputLength) > output.size()) {
        outcome = MakeOutcome::FilterFailed;
        return std::nullopt;
    }
    output.resize(static_cast<std::size_t>(outputLength));
    return output;
}

MakeOutcome RingToneEditor::makeRingTone(std::vector<std::uint8_t>& smaf, std::string& message)
{
    smaf.clear();
    message.clear();
    const auto assembled = assembledSong();
    if (assembled.empty())
        return MakeOutcome::NothingToMake;
    MakeOutcome outcome = MakeOutcome::Made;
    const auto filtered = filterForMaking(assembled, outcome);
    if (!filtered) {
        if (outcome == MakeOutcome::FilterFailed)
            view_->showMessage(kIdConversionFailed, {});
        return outcome;
    }
    MelconvBinding melconv;
    std::vector<std::uint8_t> output(smafCapacityFor(filtered->size()));
    std::int32_t outputSize = static_cast<std::int32_t>(output.size());
    const std::uint32_t result = melconv.convert(filtered->data(), static_cast<std::int32_t>(filtered->size()),
                                                 output.data(), &outputSize, nullptr, 0, message);
    if (result != kMelconvSuccess || outputSize <= 0 || static_cast<std::size_t>(outputSize) > output.size()) {
        view_->showMessage(kIdConvertFileFailed, message);
        return MakeOutcome::ConversionFailed;
    }
    output.resize(static_cast<std::size_t>(outputSize));
    smaf = std::move(output);
    return MakeOutcome::Made;
}

std::optional<double> RingToneEditor::expectedSizeKb()
{
    const auto assembled = assembledSong();
    if (assembled.empty())
        return std::nullopt;
    MakeOutcome outcome = MakeOutcome::Made;
    const auto filtered = filterForMaking(assembled, outcome);
    if (!filtered)
        return std::nullopt;
    MelconvBinding melconv;
    std::vector<std::uint8_t> output(smafCapacityFor(filtered->size()));
    std::int32_t outputSize = static_cast<std::int32_t>(output.size());
    std::string message;
    if (melconv.convert(filtered->data(), static_cast<std::int32_t>(filtered->size()), output.data(), &outputSize,
                        nullptr, 0, message) != kMelconvSuccess)
        return std::nullopt;
    return outputSize * 0.0009765625;
}

} // namespace orka::audio::midi
