#include "orka/smaf/SmafRenderer.h"

#include <algorithm>
#include <cstring>

namespace orka::smaf {

SmafRenderer::SmafRenderer(std::span<const std::uint8_t> builtinBank, const std::filesystem::path& driversDir)
    : synth_(builtinBank, driversDir), sequencer_(synth_)
{
}

bool SmafRenderer::start(std::span<const std::uint8_t> smaf)
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
    if (!sequencer_.start(0)) {
        lastError_ = PrepareError::kNoTrack; // tracks without a single event
        sequencer_.clear();
        return false;
    }
    lastError_ = PrepareError::kNone;
    looping_ = false;
    frameCounter_ = 0;
    tailFrames_ = 0;
    return true;
}

RenderResult SmafRenderer::render(std::uint8_t* buffer, std::size_t bytes)
{
    RenderResult result;
    if (bytes < 4)
        return result;
    const std::size_t frames = bytes / 4;
    std::int16_t chunk[2 * kChunkFrames];
    std::size_t done = 0;
    while (done < frames) {
        const auto now = static_cast<std::uint32_t>(std::min<std::uint64_t>(frameCounter_ * 1000 / kSampleRate, 0xFFFFFFFFu));
        const bool more = sequencer_.process(now);
        const int n = static_cast<int>(std::min<std::size_t>(frames - done, kChunkFrames));
        synth_.renderChunk(chunk, n);
        std::memcpy(buffer + done * 4, chunk, static_cast<std::size_t>(n) * 4);
        frameCounter_ += static_cast<std::uint64_t>(n);
        if (!more) {
            if (looping_ && sequencer_.running()) {
                frameCounter_ = 0;
                sequencer_.rewind();
            } else {
                tailFrames_ += static_cast<std::uint64_t>(n);
                const bool silent = std::all_of(chunk, chunk + 2 * n, [](std::int16_t s) { return s == 0; });
                if (silent || tailFrames_ > kMaxTailFrames) {
                    frameCounter_ = 0;
                    tailFrames_ = 0;
                    if (sequencer_.running())
                        sequencer_.stop();
                    std::memset(buffer + done * 4, 0, bytes - done * 4);
                    result.bytes = done * 4;
                    result.ended = true;
                    return result;
                }
            }
        }
        done += static_cast<std::size_t>(n);
    }
    result.bytes = frames * 4;
    return result;
}

} // namespace orka::smaf
