// Feeds arbitrary bytes to MCVConvert as a Standard MIDI File. When the bytes hold "ADP ",
// everything from there on is passed as the ADPCM wave bank instead. Buffers are copied to
// exactly their sizes, so any read beyond them is caught by the sanitizers.
#include "melconv.h"
#include "orka/resources/VoiceBank.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 20))
        return 0;
    static const char tag[] = "ADP ";
    const std::uint8_t* end = data + size;
    const std::uint8_t* split = std::search(data, end, tag, tag + 4);
    std::vector<std::uint8_t> smf(data, split);
    std::vector<std::uint8_t> adpcm(split, end);
    const auto bank = orka::resources::embeddedVoiceBank();
    std::vector<std::uint8_t> voices(bank.begin(), bank.end());

    // A capacity that is sometimes too small, so the size-only path runs too.
    const std::size_t capacity = (smf.size() % 3 == 0) ? 64 : 4096 + smf.size() * 8;
    std::vector<std::uint8_t> out(capacity);
    auto outSize = static_cast<std::int32_t>(capacity);
    std::vector<char> message(smf.size() % 7 == 0 ? 5 : 260);
    MCVConvert(smf.data(), static_cast<std::int32_t>(smf.size()), out.data(), &outSize, voices.data(),
               static_cast<std::int32_t>(voices.size()), adpcm.empty() ? nullptr : adpcm.data(),
               static_cast<std::int32_t>(adpcm.size()), message.data(), static_cast<std::uint32_t>(message.size()));
    return 0;
}
