// SMAF bytes from outside: Prepare, Start and a bounded render; the same bytes as a drum wave
// file, a voice definition and a synthesizer exclusive message.
#include "orka/smaf/SmafRenderer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    orka::smaf::SmafRenderer renderer({});
    if (renderer.start(bytes)) {
        // Half a second at most: enough to run every kind of event through the synthesizer.
        std::vector<std::uint8_t> buffer(8192);
        for (int i = 0; i < 6; ++i)
            if (renderer.render(buffer.data(), buffer.size()).ended)
                break;
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
