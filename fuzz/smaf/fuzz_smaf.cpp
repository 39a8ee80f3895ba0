// SMAF bytes from outside: Prepare, Start and a bounded render; the same bytes as a drum wave
// file, a voice definition and a synthesizer exclusive message. Two renders of the same bytes
// give the same samples; a render ends no sooner than its last event and no later than the
// release tail allows; and a render started at a time before anything sounds is, sample for
// sample, the whole render from that time on.
#include "orka/smaf/SmafRenderer.h"
#include "orka/common/MidiCodes.h"
#include "orka/common/SmafCodes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

namespace {

namespace codes = orka::common::smaf;

using orka::smaf::SmafRenderer;

constexpr std::size_t kBufferBytes = 8192;
constexpr std::size_t kBytesPerFrame = 4;
constexpr std::size_t kOddBufferBytes = 1001 * kBytesPerFrame;
// Pieces whose events end within this are rendered to their end; longer ones only in part.
constexpr std::uint32_t kWholeRenderMs = 400;
// Half a second at most otherwise: enough to run every kind of event through the synthesizer.
constexpr int kPartialBuffers = 6;
// The tail after the last event is cut at this, plus the chunk it falls in.
constexpr std::uint64_t kLongestTailFrames = SmafRenderer::kMaxTailFrames + SmafRenderer::kChunkFrames;
// Starts part-way are tried up to this time, and this much is compared after them.
constexpr std::uint32_t kLatestStartMs = 1000;
constexpr std::size_t kComparedFrames = 4096;

[[noreturn]] void fail(const char* property)
{
    std::fprintf(stderr, "fuzz_smaf: %s\n", property);
    std::abort();
}

struct Render {
    std::vector<std::uint8_t> pcm;
    bool ended = false;
};

// The first totalBytes of a render made with buffers of bufferBytes; ended tells whether the
// piece ended within them.
Render render(SmafRenderer& renderer, std::size_t totalBytes, std::size_t bufferBytes = kBufferBytes)
{
    Render r;
    std::vector<std::uint8_t> buffer(bufferBytes);
    while (r.pcm.size() < totalBytes && !r.ended) {
        const auto result = renderer.render(buffer.data(), buffer.size());
        r.pcm.insert(r.pcm.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(result.bytes));
        r.ended = result.ended;
    }
    if (r.pcm.size() > totalBytes) {
        r.pcm.resize(totalBytes);
        r.ended = false;
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
    const Render a = render(first, std::size_t(buffers) * kBufferBytes);
    SmafRenderer again({});
    if (!again.start(bytes))
        fail("accepted once, refused the second time");
    // Another buffer size, not a whole number of chunks, must not change a sample.
    const Render b = render(again, std::size_t(buffers) * kBufferBytes, kOddBufferBytes);
    if (a.pcm != b.pcm || a.ended != b.ended)
        fail("two renders of the same piece differ");
    const std::uint64_t frames = a.pcm.size() / kBytesPerFrame;
    // Events are sent at the start of the chunk that reaches their time.
    if (a.ended && frames + SmafRenderer::kChunkFrames < lastEventFrame)
        fail("the render ended before the last event");
    if (whole && (!a.ended || frames > lastEventFrame + kLongestTailFrames))
        fail("a short piece did not end within its release tail");
}

// The first event that may make a sound: a note on, the start of a wave, or a register write
// of the piece (it can set a channel's key bit). Before it the synthesizer only takes
// settings, so starting there loses nothing.
std::optional<std::uint32_t> firstSoundMs(const std::vector<orka::smaf::SmafEvent>& events)
{
    for (const auto& e : events) {
        const std::uint32_t status = e.message & 0xFF;
        const std::uint32_t data1 = (e.message >> 8) & 0xFF;
        if ((status & 0xF0) == orka::midi::status::kNoteOn || status == codes::kPackedRegisterWrite ||
            (status == codes::kPackedSampleEvent && data1 == codes::kSynthWaveStart))
            return e.time;
    }
    return std::nullopt;
}

void checkStartPartWay(std::span<const std::uint8_t> bytes, const std::vector<orka::smaf::SmafEvent>& events)
{
    const auto sound = firstSoundMs(events);
    const std::uint32_t startMs = std::min(sound ? (*sound == 0 ? 0 : *sound - 1) : events.back().time, kLatestStartMs);
    if (startMs == 0)
        return;
    const std::size_t skipped = SmafRenderer::startFrame(startMs);
    const std::size_t total = (skipped + kComparedFrames) * kBytesPerFrame;
    SmafRenderer whole({});
    SmafRenderer part({});
    if (!whole.start(bytes) || !part.start(bytes, startMs))
        fail("a piece accepted before was refused for a start within it");
    const Render all = render(whole, total);
    const Render tail = render(part, kComparedFrames * kBytesPerFrame);
    const std::size_t from = std::min(all.pcm.size(), skipped * kBytesPerFrame);
    const std::size_t compared = std::min(tail.pcm.size(), all.pcm.size() - from);
    if (!std::equal(tail.pcm.begin(), tail.pcm.begin() + static_cast<std::ptrdiff_t>(compared),
                    all.pcm.begin() + static_cast<std::ptrdiff_t>(from)))
        fail("a start part-way differs from the whole render");
    // Both cover the same frames, so the piece ends within them both ways, on the same frame.
    if (all.ended != tail.ended || (all.ended && from + tail.pcm.size() != all.pcm.size()))
        fail("a start part-way ended elsewhere");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    orka::smaf::SmafRenderer renderer({});
    if (renderer.start(bytes) && !renderer.sequencer().events().empty()) {
        const std::vector<orka::smaf::SmafEvent> events = renderer.sequencer().events();
        checkRenders(bytes, renderer);
        checkStartPartWay(bytes, events);
        // A start anywhere within the piece, sounds before it or not, renders.
        SmafRenderer seeked({});
        if (!seeked.start(bytes, std::min<std::uint32_t>(events.back().time / 2, kLatestStartMs)))
            fail("a start within the piece was refused");
        render(seeked, kBufferBytes);
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
