#include "orka/smaf/SmafRenderer.h"

#include <algorithm>
#include <cstring>

namespace orka::smaf {

SmafRenderer::SmafRenderer(std::span<const std::uint8_t> builtinBank, const std::filesystem::path& driversDir)
    : synth_(builtinBank, driversDir), sequencer_(synth_)
{
}

bool SmafRenderer::start(std::span<const std::uint8_t> smaf, std::uint32_t startMs)
{
    sequencer_.clear();
    if (smaf.empty()) {
        lastError_ = PrepareError::kNotSmaf;
        return false;
    }
    sequencer_.setData(smaf);
    if (!sequencer_.prepare()) {
        lastError_ = sequencer_.prepareError();
        sequencer_.clear();
        return false;
    }
    // The start goes back to the chunk it falls in, so that a render from there takes the same
    // steps as a render of the whole piece.
    const std::uint64_t firstFrame = startFrame(startMs);
    const bool pastTheEnd = !sequencer_.events().empty() && startMs > sequencer_.events().back().time;
    if (pastTheEnd || !sequencer_.start(static_cast<std::uint32_t>(firstFrame * 1000 / kSampleRate))) {
        // Tracks without a single event; a start past the last event is no fault of the data.
        lastError_ = startMs == 0 ? PrepareError::kNoTrack : PrepareError::kNone;
        sequencer_.clear();
        return false;
    }
    lastError_ = PrepareError::kNone;
    looping_ = false;
    frameCounter_ = firstFrame;
    chunkHeld_ = chunkUsed_ = 0;
    tailFrames_ = 0;
    return true;
}

std::uint64_t SmafRenderer::startFrame(std::uint32_t startMs)
{
    return std::uint64_t{startMs} * kSampleRate / 1000 / kChunkFrames * kChunkFrames;
}

RenderResult SmafRenderer::render(std::uint8_t* buffer, std::size_t bytes)
{
    RenderResult result;
    if (bytes < 4)
        return result;
    const std::size_t frames = bytes / 4;
    std::size_t done = 0;
    while (done < frames) {
        if (chunkUsed_ == chunkHeld_) {
            const auto now = static_cast<std::uint32_t>(std::min<std::uint64_t>(frameCounter_ * 1000 / kSampleRate, 0xFFFFFFFFu));
            const bool more = sequencer_.process(now);
            // Whole chunks only: the synthesizer steps its envelopes and LFO once per call, so
            // cutting chunks at the caller's buffer edges would change the sound.
            synth_.renderChunk(chunk_.data(), kChunkFrames);
            frameCounter_ += kChunkFrames;
            chunkHeld_ = kChunkFrames;
            chunkUsed_ = 0;
            if (!more) {
                if (looping_ && sequencer_.running()) {
                    frameCounter_ = 0;
                    sequencer_.rewind();
                } else {
                    tailFrames_ += kChunkFrames;
                    const bool silent = std::all_of(chunk_.begin(), chunk_.end(), [](std::int16_t s) { return s == 0; });
                    if (silent || tailFrames_ > kMaxTailFrames) {
                        frameCounter_ = 0;
                        tailFrames_ = 0;
                        chunkHeld_ = chunkUsed_ = 0;
                        if (sequencer_.running())
                            sequencer_.stop();
                        std::memset(buffer + done * 4, 0, bytes - done * 4);
                        result.bytes = done * 4;
                        result.ended = true;
                        return result;
                    }
                }
            }
        }
        const std::size_t n = std::min<std::size_t>(frames - done, static_cast<std::size_t>(chunkHeld_ - chunkUsed_));
        std::memcpy(buffer + done * 4, chunk_.data() + 2 * chunkUsed_, n * 4);
        chunkUsed_ += static_cast<int>(n);
        done += n;
    }
    result.bytes = frames * 4;
    return result;
}

} // namespace orka::smaf
