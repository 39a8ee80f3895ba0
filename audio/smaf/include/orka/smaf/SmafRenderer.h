#pragma once
// The synthesizer and the sequencer driven by a frame clock: turns a SMAF image into 16-bit
// stereo frames at 22050 Hz, in chunks of 22 frames (about 1 ms) so events land on time.
#include "orka/smaf/SmafSequencer.h"
#include "orka/smaf/Synthesizer.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>

namespace orka::smaf {

struct RenderResult {
    std::size_t bytes = 0; // bytes of the buffer that belong to the piece
    bool ended = false;    // the piece ended within this buffer
};

class SmafRenderer {
public:
    static constexpr int kChunkFrames = 22;
    // Release tails longer than this after the last event are cut: a voice that never decays
    // must not keep a preview (or an offline render) going for ever.
    static constexpr std::uint64_t kMaxTailFrames = 10ull * kSampleRate;

    SmafRenderer(std::span<const std::uint8_t> builtinBank, const std::filesystem::path& driversDir = {});

    // Replaces the sequencer's data and starts it at startMs (0: the beginning); false when
    // refused or when startMs passes the last event. Events before the start are sent at once
    // and the envelopes run on to it; rendering goes on from startFrame(startMs).
    bool start(std::span<const std::uint8_t> smaf, std::uint32_t startMs = 0);
    // The frame of the piece a start at startMs renders from: the start of the chunk it falls in.
    static std::uint64_t startFrame(std::uint32_t startMs);
    void clear() { sequencer_.clear(); }
    PrepareError lastError() const { return lastError_; }
    void setLooping(bool on) { looping_ = on; }

    // Fills the buffer (16-bit stereo frames). When the piece ends inside it, the frames
    // after the end are zero and `bytes` stops at the end.
    RenderResult render(std::uint8_t* buffer, std::size_t bytes);

    Synthesizer& synthesizer() { return synth_; }
    SmafSequencer& sequencer() { return sequencer_; }

private:
    Synthesizer synth_;
    SmafSequencer sequencer_;
    std::uint64_t frameCounter_ = 0; // frames the synthesizer has made since the piece's start
    std::array<std::int16_t, 2 * kChunkFrames> chunk_{}; // the chunk being handed out
    int chunkHeld_ = 0;
    int chunkUsed_ = 0;
    std::uint64_t tailFrames_ = 0;
    bool looping_ = false;
    PrepareError lastError_ = PrepareError::kNone;
};

} // namespace orka::smaf
