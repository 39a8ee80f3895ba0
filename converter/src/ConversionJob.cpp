#include "ConversionJob.h"

#include <cstring>

namespace melconv {

ConversionJob::ConversionJob(std::span<const std::uint8_t> smf, VoiceBankView voiceBank, AdpcmBank adpcmBank)
    : smf_(smf), voiceBank_(voiceBank), adpcmBank_(adpcmBank)
{
}

bool ConversionJob::checkHeader()
{
    // Only the tag and the low byte of the format are checked. A header cut short after its
    // format has no events and ends as "No Effective MIDI data."; one without the format byte
    // is no SMF.
    constexpr std::size_t kFormatLowByte = 9;
    if (smf_.size() <= kFormatLowByte || std::memcmp(smf_.data(), "MThd", 4) != 0) {
        message_ = "This is not SMF.";
        return false;
    }
    if (smf_[kFormatLowByte] != 0) {
        message_ = "This SMF is not Format0.";
        return false;
    }
    return true;
}

bool ConversionJob::stageFailed(const Stage& stage)
{
    if (!stage.failed())
        return false;
    message_ = stage.message();
    return true;
}

void ConversionJob::setChannelTypes(SmafSong& song) const
{
    const auto& contents = toneAnalysis_.contents();
    const auto& fm = channelStage_.fmChannels();
    for (std::size_t k = 0; k < 16; ++k) {
        const FmChannelSlot& f = fm[k];
        std::uint8_t status = 0x8 | 2; // key control, normal channel
        if (f.isAssigned()) {
            if (contents.lyricChannels[f.midiChannel])
                status = 0x8 | 1;
            else if (f.bankMsb == kDrumBank)
                status = 3;
        }
        song.channelStatus[k] = status;
    }
}

bool ConversionJob::run(std::size_t capacity)
{
    message_.clear();
    output_.clear();
    builtLength_ = 0;
    if (!checkHeader())
        return false;
    // Every read of the voice bank is a fixed offset into its 86948 bytes.
    if (!voiceBank_.isComplete()) {
        message_ = "Invalid voice data.";
        return false;
    }
    const MidiStream stream(smf_);

    toneAnalysis_.run(stream, voiceBank_);
    if (stageFailed(toneAnalysis_))
        return false;
    channelStage_.run(stream, toneAnalysis_.toneSlots());
    if (stageFailed(channelStage_))
        return false;
    const bool hasAdpcm = AdpcmStage::hasAdpcmNotes(stream);
    if (hasAdpcm) {
        if (!adpcmBank_.present()) {
            message_ = "Cannot find the adpcm data.";
            return false;
        }
        adpcmStage_.run(stream, adpcmBank_);
        if (stageFailed(adpcmStage_))
            return false;
    }

    SmafSong song;
    song.contents = &toneAnalysis_.contents();
    song.slots = &toneAnalysis_.toneSlots();
    song.channels = &channelStage_.fmChannels();
    song.loop = channelStage_.loopPoints();
    setChannelTypes(song);
    if (hasAdpcm) {
        song.audioEvents = &adpcmStage_.events();
        song.waves = &adpcmStage_.waves();
        song.sampleRate = adpcmStage_.sampleRate();
    }
    bool anyFmEvent = false;
    for (const FmChannelSlot& f : channelStage_.fmChannels())
        anyFmEvent = anyFmEvent || !f.events.empty();
    const bool anyWave = hasAdpcm && !adpcmStage_.waves().empty();
    if (!anyFmEvent && !anyWave) {
        message_ = "No Effective MIDI data.";
        return false;
    }
    song.m2 = anyFmEvent ? SmafWriter::scoreTracksNeeded(toneAnalysis_.toneSlots(), channelStage_.fmChannels()) : 0;

    MemoryFile file = smafWriter_.write(song, capacity);
    builtLength_ = file.size();
    if (file.size() > capacity || !file.complete()) {
        message_ = "Invalid OutSize";
        return false;
    }
    output_ = std::move(file.bytes());
    return true;
}

} // namespace melconv
