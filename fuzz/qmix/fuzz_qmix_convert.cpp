// Arbitrary bytes through the channel filter: Detect, then Convert into the twice-the-input
// buffer the editor gives it. What it writes must fit, must read again, and must be taken by
// the converter: the only refusal allowed is "No Effective MIDI data." for a song left
// without a single note.
#include "melconv.h"
#include "orka/resources/VoiceBank.h"
#include "orka/smf/Smf.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" {
std::int32_t SetInfo(std::uint32_t* flags);
std::int32_t Reset();
std::int32_t Detect(const std::uint8_t* smf, std::int32_t length);
std::int32_t Convert(const std::uint8_t* smf, std::int32_t length, std::uint8_t* out, std::int32_t* outLength, std::int32_t mode);
}

namespace {

constexpr std::int32_t kLargestTriedOutput = 64 << 20;

bool hasNotes(const std::vector<std::uint8_t>& smf)
{
    const auto song = orka::smf::readSong(smf);
    if (!song)
        __builtin_trap(); // what the filter writes must read strictly
    for (const auto& e : song->events)
        if (e.kind() == 0x90 && e.data2 > 0)
            return true;
    return false;
}

void mustConvert(const std::vector<std::uint8_t>& prepared)
{
    const auto bank = orka::resources::embeddedVoiceBank();
    std::vector<std::uint8_t> out(prepared.size() * 16 + 4096);
    std::int32_t outSize = static_cast<std::int32_t>(out.size());
    char message[260] = {};
    auto convert = [&] {
        return MCVConvert(prepared.data(), static_cast<std::int32_t>(prepared.size()), out.data(), &outSize, bank.data(),
                          static_cast<std::int32_t>(bank.size()), nullptr, 0, message, sizeof message - 1);
    };
    int r = convert();
    if (r != 1 && std::strcmp(message, "Invalid OutSize") == 0 && outSize > 0) {
        // A long song in a short file: the converter names the size it needs. The output grows
        // with the song's length, so a few bytes of slow tempo and long pauses may ask for 100 MB;
        // such a size is taken as named and not tried.
        if (outSize >= kLargestTriedOutput)
            return;
        out.resize(static_cast<std::size_t>(outSize));
        std::memset(message, 0, sizeof message);
        r = convert();
    }
    if (r == 1)
        return;
    if (std::strcmp(message, "No Effective MIDI data.") == 0 && !hasNotes(prepared))
        return;
    __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 20))
        return 0;
    Reset();
    const auto length = static_cast<std::int32_t>(size);
    const bool readable = Detect(data, length) == 0;
    std::array<std::uint32_t, 16> keep{};
    for (std::size_t ch = 0; ch < 16; ++ch)
        keep[ch] = size > 0 ? (data[0] >> (ch % 8)) & 1u : 1u;
    SetInfo(keep.data());
    std::vector<std::uint8_t> out(size * 2);
    std::int32_t outLength = static_cast<std::int32_t>(out.size());
    const std::int32_t result = Convert(data, length, out.data(), &outLength, 20);
    if (result == 0) {
        if (!readable || outLength < 0 || static_cast<std::size_t>(outLength) > out.size())
            __builtin_trap();
        out.resize(static_cast<std::size_t>(outLength));
        if (Detect(out.data(), outLength) != 0)
            __builtin_trap();
        hasNotes(out);
        mustConvert(out);
    }
    return 0;
}
