// SMAF bytes from outside: Prepare, Start and a bounded render; the same bytes as a drum wave
// file, a voice definition and a synthesizer exclusive message. Two renders of the same bytes
// give the same samples, and a render ends no sooner than its last event and no later than
// the release tail allows.
#include "orka/smaf/SmafRenderer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

using orka::smaf::SmafRenderer;

constexpr std::size_t kBufferBytes = 8192;
constexpr std::size_t kBytesPerFrame = 4;
// Pieces whose events end within this are rendered to their end; longer ones only in part.
constexpr std::uint32_t kWholeRenderMs = 400;
// Half a second at most otherwise: enough to run every kind of event through the synthesizer.
constexpr int kPartialBuffers = 6;
// The tail after the last event is cut at this, plus the chunk it falls in.
constexpr std::uint64_t kLongestTailFrames = SmafRenderer::kMaxTailFrames + SmafRenderer::kChunkFrames;

struct Render {
    std::vector<std::uint8_t> pcm;
    bool ended = false;
};

Render render(SmafRenderer& renderer, int buffers)
{
    Render r;
    std::vector<std::uint8_t> buffer(kBufferBytes);
    for (int i = 0; i < buffers && !r.ended; ++i) {
        const auto result = renderer.render(buffer.data(), buffer.size());
        r.pcm.insert(r.pcm.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(result.bytes));
        r.ended = result.ended;
    }
    return r;
}

void checkRenders(std::span<const std::uint8_t> bytes, SmafRenderer& first)
{
    const std::uint32_t lastEventMs = first.sequencer().events().back().time;
    const bool whole = lastEventMs <= kWholeRenderMs;
    const std::uint64_t lastEventFrame = std::uint64_t{lastEventMs} * orka::smaf::kSampleRate / 1000;
    const int buffers = whole ? static_cast<int>((lastEventFrame + kLongestTailFrames) * kBytesPerFrame / kBufferBytes + 2)
                              : kPartialBuffers;
    const Render a = render(first, buffers);
    SmafRenderer again({});
    if (!again.start(bytes))
        std::abort(); // accepted once, refused the second time
    const Render b = render(again, buffers);
    if (a.pcm != b.pcm || a.ended != b.ended)
        std::abort();
    const std::uint64_t frames = a.pcm.size() / kBytesPerFrame;
    // Events are sent at the start of the chunk that reaches their time.
    if (a.ended && frames + SmafRenderer::kChunkFrames < lastEventFrame)
        std::abort();
    if (whole && (!a.ended || frames > lastEventFrame + kLongestTailFrames))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    orka::smaf::SmafRenderer renderer({});
    if (renderer.start(bytes) && !renderer.sequencer().events().empty()) {
        checkRenders(bytes, renderer);
        // Seeking into the piece renders the skipped part into a scratch buffer.
        const auto& events = renderer.sequencer().events();
        if (!events.empty()) {
            renderer.sequencer().stop();
            renderer.sequencer().start(std::min<std::uint32_t>(events.back().time / 2, 300));
        }
    }
    orka::smaf::Synthesizer& synth = renderer.synthesizer();
    synth.tables().loadDrumWaves(bytes, synth.waves());
    orka::smaf::SmafSequencer::defineVoice(synth, bytes);
    std::vector<std::uint8_t> sysex = {0xF0, 0x43, 0x79, 0x05, 0x7F};
    sysex.insert(sysex.end(), bytes.begin(), bytes.end());
    synth.systemExclusive(sysex);
    std::vector<std::int16_t> out(2 * 64);
    synth.renderChunk(out.data(), 64);
    return 0;
}
