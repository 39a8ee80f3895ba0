// Arbitrary bytes as a Standard MIDI File: the reader, then what is done with a song it
// accepts: a short play on a manual timer, and a ring tone of a range of it.
#include "orka/audio/midi/CMidiPlayer.h"
#include "orka/audio/midi/RingToneAssembly.h"
#include "orka/platform/MidiOut.h"
#include "orka/platform/PeriodicTimer.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace orka::audio::midi;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> image(data, size);
    auto song = readMidiSong(image);
    if (!song)
        return 0;

    RingToneSettings settings;
    settings.rangeStart = song->songLength / 3;
    settings.rangeEnd = song->songLength - song->songLength / 4;
    settings.volumePercent = 150;
    settings.tempoFactor = 0.1f;
    const auto tone = assembleRingTone(*song, settings);
    // What we assemble must read back.
    if (!readMidiSong(tone))
        __builtin_trap();

    auto timer = std::make_unique<orka::platform::ManualTimer>();
    auto* clock = timer.get();
    CMidiPlayer player(std::move(timer));
    player.setUp(nullptr, orka::platform::openQuietMidiOut);
    if (!player.load(image))
        __builtin_trap();
    player.requestMute(1, true);
    player.play(0);
    clock->advance(2000);
    player.stop();
    return 0;
}
