#include "orka/audio/midi/CMidiPlayer.h"
#include "orka/common/ByteOrder.h"
#include "orka/common/MidiCodes.h"

#include "orka/platform/MidiOut.h"
#include "orka/platform/PeriodicTimer.h"

#include <algorithm>
#include <cmath>

namespace orka::audio::midi {

namespace {

std::uint32_t scaledVolume(std::uint32_t value, std::uint32_t percent)
{
    // Data bytes stop at 127: a louder percentage saturates instead of wrapping around.
    return std::min<std::uint64_t>(127, std::uint64_t{value} * percent / 100);
}
} // namespace

CMidiPlayer::CMidiPlayer(std::unique_ptr<platform::PeriodicTimer> timer)
    : timer_(timer ? std::move(timer) : platform::makeSystemTimer())
{
}

CMidiPlayer::~CMidiPlayer()
{
    killTimer();
}

bool CMidiPlayer::setUp(MidiPlayerOwner* owner, OutputFactory openOutput)
{
    owner_ = owner;
    openOutput_ = openOutput ? std::move(openOutput) : OutputFactory(platform::openMidiOut);
    output_ = openOutput_();
    return output_ != nullptr;
}

bool CMidiPlayer::shutDown()
{
    if (!output_)
        return false;
    killTimer();
    state_.store(Stopped);
    output_.reset();
    unload();
    loop_.store(false);
    position_.store(0.0f);
    volumePercent_.store(100);
    tempoFactor_.store(1.0f);
    return true;
}

void CMidiPlayer::unload()
{
    if (state_.load() != Stopped)
        stop();
    loaded_ = false;
    song_ = MidiSong{};
}

bool CMidiPlayer::load(std::span<const std::uint8_t> image)
{
    loaded_ = false;
    if (state_.load() != Stopped)
        stop();
    song_ = MidiSong{};
    auto song = readMidiSong(image, &message_);
    if (!song)
        return false;
    song_ = std::move(*song);
    tempo_.store(song_.tempo);
    position_.store(0.0f);
    loaded_ = true;
    sendInitialProgramChanges();
    return true;
}

float CMidiPlayer::ticksPerCallback() const
{
    return static_cast<float>(static_cast<double>(timerPeriodMs_) * song_.division * tempoFactor_.load() * 1000.0 /
                              static_cast<double>(std::max<std::uint32_t>(1, tempo_.load())));
}

void CMidiPlayer::startTimer()
{
    timerRunning_.store(true);
    timer_->start(timerPeriodMs_, [this] { timerCallback(); });
}

void CMidiPlayer::killTimer()
{
    timer_->stop();
    timerRunning_.store(false);
}

void CMidiPlayer::notify(unsigned message, unsigned wParam)
{
    if (owner_)
        owner_->midiNotify(message, wParam);
}

void CMidiPlayer::play(std::int32_t startTick)
{
    if (!loaded_)
        return;
    const int state = state_.load();
    if (state == Playing)
        return;
    if (state == Paused) {
        state_.store(Playing);
        startTimer();
        return;
    }
    generation_.fetch_add(1);
    timerPeriodMs_ = timer_->minimumPeriodMs();
    seek(startTick);
    lastTickSecond_ = -1;
    state_.store(Playing);
    startTimer();
    if (mode_.load() == kEditorMode && !song_.volumePresent && owner_)
        setVolume(static_cast<std::uint32_t>(std::max(0, owner_->editorVolumePercent())));
}

void CMidiPlayer::seek(std::int32_t target)
{
    position_.store(0.0f);
    tempo_.store(kDefaultTempo);
    for (auto& track : song_.tracks) {
        track.cursor = 0;
        track.runningStatus = 0;
        track.deltaPending = false;
        track.ended = false;
        track.remaining = 0.0f;
    }
    for (auto& keys : sounding_)
        keys.reset();
    float position = 0.0f;
    while (static_cast<std::int64_t>(position) < target) {
        if (sequencerStep(StepMode::Seek) == 0) {
            position = static_cast<float>(target); // nothing left to replay
            break;
        }
        position += ticksPerCallback();
    }
    position_.store(position);
}

int CMidiPlayer::sequencerStep(StepMode mode)
{
    int active = 0;
    const float step = ticksPerCallback();
    for (auto& track : song_.tracks) {
        if (track.ended)
            continue;
        ++active;
        if (!track.deltaPending) {
            auto delta = readVariableLength(track.data, track.cursor);
            if (!delta) {
                track.ended = true;
                --active;
                continue;
            }
            track.remaining = static_cast<float>(*delta);
            track.deltaPending = true;
        } else {
            track.remaining -= step;
        }
        while (track.remaining <= 0.0f) {
            if (dispatch(track, mode)) {
                --active;
                break;
            }
            auto delta = readVariableLength(track.data, track.cursor);
            if (!delta) { // the data ends without End of Track
                track.ended = true;
                --active;
                break;
            }
            track.remaining += static_cast<float>(*delta);
        }
    }
    return active;
}

// Sends (or, seeking, replays) the event at the cursor. Returns true when the track ended.
// Lengths are read as the loading check read them, so the walk keeps to the checked
// boundaries; every read stays inside the track.
bool CMidiPlayer::dispatch(MidiTrack& track, StepMode mode)
{
    const std::span<const std::uint8_t> data = track.data;
    std::size_t& pos = track.cursor;
    auto endTrack = [&] {
        track.ended = true;
        return true;
    };
    auto skip = [&](std::uint64_t n) {
        if (n > data.size() - pos)
            return false;
        pos += static_cast<std::size_t>(n);
        return true;
    };
    if (pos >= data.size())
        return endTrack();
    const std::uint8_t first = data[pos++];
    if (first == 0xFF) {
        if (pos >= data.size())
            return endTrack();
        const std::uint8_t type = data[pos++];
        if (type == orka::midi::meta::kEndOfTrack)
            return endTrack();
        // Every meta length is a variable-length quantity, as the check reads it.
        const auto length = readVariableLength(data, pos);
        if (!length)
            return endTrack();
        if (type == orka::midi::meta::kSetTempo) {
            if (data.size() - pos < 3) // three bytes of tempo whatever the length says
                return endTrack();
            pos += 3;
            tempo_.store(std::max<std::uint32_t>(1, common::readBE24(data.data() + pos - 3)));
            return false;
        }
        if (!skip(*length))
            return endTrack();
        return false;
    }
    if (first >= 0xF0) { // system exclusive: never sent
        auto length = readVariableLength(data, pos);
        if (!length || !skip(*length))
            return endTrack();
        return false;
    }
    std::uint8_t data1 = first;
    if (first >= 0x80) {
        track.runningStatus = first;
        if (pos >= data.size())
            return endTrack();
        data1 = data[pos++];
    }
    const std::uint8_t status = track.runningStatus;
    if (status == 0) { // a data byte before any status: skipped as the check skipped it
        skip(1);
        return false;
    }
    std::uint32_t data2 = 0;
    if (platform::midiDataBytes(status) == 2) {
        if (pos >= data.size())
            return endTrack();
        data2 = data[pos++];
    }
    const int kind = status >> 4;
    if (kind == 0xB && data1 == orka::midi::controller::kVolume)
        data2 = scaledVolume(data2, volumePercent_.load());
    const std::uint32_t message = status | (std::uint32_t{data1} << 8) | (data2 << 16);
    if (mode == StepMode::Seek) {
        if (kind == 0xB || kind == 0xC)
            sendShort(message);
    } else if (!((kind == 0x8 || kind == 0x9) && muted_[status & 0x0F])) {
        sendShort(message);
        if (kind == 0x9 || kind == 0x8)
            sounding_[status & 0x0F].set(data1 & 0x7F, kind == 0x9 && data2 != 0);
    }
    return false;
}

bool CMidiPlayer::reachedRangeEnd() const
{
    if (mode_.load() != kEditorMode || !owner_ || owner_->editorRangeMode() != 2)
        return false;
    const std::int32_t end = owner_->editorRangeEnd();
    return end > owner_->editorRangeStart() && position_.load() >= static_cast<float>(end);
}

void CMidiPlayer::releaseSoundingNotes()
{
    for (int ch = 0; ch < 16; ++ch) {
        auto& keys = sounding_[static_cast<std::size_t>(ch)];
        for (int key = 0; keys.any() && key < 128; ++key) {
            if (keys.test(static_cast<std::size_t>(key))) {
                noteOff(ch, key, 0);
                keys.reset(static_cast<std::size_t>(key));
            }
        }
    }
}

void CMidiPlayer::endByItself()
{
    int expected = Playing;
    if (!state_.compare_exchange_strong(expected, Stopped))
        return; // Stop or Pause got there first
    position_.store(0.0f);
    timer_->stop();
    timerRunning_.store(false);
    notify(WM_MIDI_END, 0);
}

void CMidiPlayer::timerCallback()
{
    const unsigned generation = generation_.load();
    // The range end is checked here, on every callback, so a range never sounds past its
    // end: every event before the end has been sent by now and none at or after it.
    if (reachedRangeEnd()) {
        releaseSoundingNotes();
        if (loop_.load()) {
            seek(owner_->editorRangeStart());
            lastTickSecond_ = -1;
        } else {
            endByItself();
        }
        return;
    }
    for (int ch = 0; ch < 16; ++ch) {
        const auto c = static_cast<std::size_t>(ch);
        if (muteRequested_[c].load()) {
            if (!muted_[c]) {
                allNotesOff(ch);
                sounding_[c].reset();
                muted_[c] = true;
            }
        } else {
            muted_[c] = false;
        }
    }
    const int active = sequencerStep(StepMode::Play);
    const float position = position_.load() + ticksPerCallback();
    position_.store(position);

    // Whole seconds of playing time; posted once per second rather than on every callback
    // that still rounds down to the same second.
    const auto scaled = static_cast<std::int64_t>(static_cast<double>(position) * tempo_.load() * 0.000001);
    if (scaled % song_.division == 0 && scaled != lastTickSecond_) {
        lastTickSecond_ = scaled;
        notify(WM_MIDI_TICK, 0);
        if (generation_.load() != generation)
            return;
    }

    if (active != 0)
        return;
    if (!loop_.load()) {
        endByItself();
    } else if (mode_.load() == kEditorMode) {
        const bool wholeSong = !owner_ || owner_->editorRangeMode() == 1;
        seek(wholeSong ? 0 : owner_->editorRangeStart());
        lastTickSecond_ = -1;
    }
    // Looping outside the editor: the timer runs on in silence until Stop.
}

int CMidiPlayer::stop()
{
    const int previous = state_.exchange(Stopped);
    if (previous == Stopped)
        return Stopped;
    generation_.fetch_add(1);
    if (timerRunning_.load()) {
        killTimer(); // before the notes are cut, so no callback sends one after
        allNotesOffAllChannels();
    }
    timer_->stop();
    sendInitialProgramChanges();
    position_.store(0.0f);
    if (output_)
        output_->reopen();
    notify(WM_MIDI_END, 1);
    return previous;
}

bool CMidiPlayer::pause()
{
    // Only a playing song pauses: a stopped one has nothing to resume from.
    int expected = Playing;
    if (!state_.compare_exchange_strong(expected, Paused))
        return false;
    killTimer();
    allNotesOffAllChannels();
    return true;
}

void CMidiPlayer::setVolume(std::uint32_t percent)
{
    volumePercent_.store(percent);
    if (!loaded_)
        return;
    for (int ch = 0; ch < 16; ++ch) {
        if (!song_.channels[static_cast<std::size_t>(ch)].hasNotes)
            continue;
        sendShort(static_cast<std::uint32_t>(0xB0 | ch) | (7u << 8) | (scaledVolume(song_.effectiveVolume(ch), percent) << 16));
    }
}

void CMidiPlayer::setTempoFactor(float factor)
{
    // A factor of 0 would stop time; the editor keeps it between 0.1 and 2.0.
    tempoFactor_.store(factor > 0.0f && std::isfinite(factor) ? factor : 1.0f);
}

void CMidiPlayer::toggleLoop() { loop_.store(!loop_.load()); }

void CMidiPlayer::setPosition(float ticks) { position_.store(ticks); }

void CMidiPlayer::requestMute(int channel, bool mute)
{
    if (channel >= 0 && channel < 16)
        muteRequested_[static_cast<std::size_t>(channel)].store(mute);
}

bool CMidiPlayer::muteRequested(int channel) const
{
    return channel >= 0 && channel < 16 && muteRequested_[static_cast<std::size_t>(channel)].load();
}

std::int32_t CMidiPlayer::position() const { return static_cast<std::int32_t>(position_.load()); }

std::uint32_t CMidiPlayer::tempoQuery(bool raw) const
{
    const double effective = std::trunc(tempo_.load() / static_cast<double>(tempoFactor_.load()));
    const auto tempo = static_cast<std::uint32_t>(std::clamp(effective, 1.0, 4294967295.0));
    return raw ? tempo : 60000000u / tempo;
}

std::uint32_t CMidiPlayer::durationSeconds() const
{
    if (!loaded_)
        return 0;
    return static_cast<std::uint32_t>(tempo_.load() * 0.000001 * song_.songLength / song_.division);
}

std::uint32_t CMidiPlayer::playingSeconds() const
{
    if (!loaded_)
        return 0;
    return static_cast<std::uint32_t>(std::max(0.0, tempo_.load() * 0.000001 * position_.load() / song_.division));
}

void CMidiPlayer::sendShort(std::uint32_t message)
{
    if (output_)
        output_->sendShort(message & 0x7F7FFF);
}

void CMidiPlayer::programChange(int channel, int program)
{
    sendShort(static_cast<std::uint32_t>(0xC0 | (channel & 0x0F)) | (static_cast<std::uint32_t>(program & 0x7F) << 8));
}

void CMidiPlayer::noteOff(int channel, int key, int velocity)
{
    sendShort(static_cast<std::uint32_t>(0x80 | (channel & 0x0F)) | (static_cast<std::uint32_t>(key & 0x7F) << 8) |
              (static_cast<std::uint32_t>(velocity & 0x7F) << 16));
}

void CMidiPlayer::allNotesOff(int channel)
{
    for (int key = 0; key < 128; ++key)
        noteOff(channel, key, 0);
}

void CMidiPlayer::allNotesOffAllChannels()
{
    for (int ch = 0; ch < 16; ++ch)
        allNotesOff(ch);
}

void CMidiPlayer::sendInitialProgramChanges()
{
    for (int ch = 0; ch < 16; ++ch) {
        if (ch == 9)
            continue;
        const int program = loaded_ ? song_.channels[static_cast<std::size_t>(ch)].firstProgram : -1;
        programChange(ch, program >= 0 ? program : 0);
    }
}

} // namespace orka::audio::midi
