// Feeds arbitrary bytes to MCVConvert as a Standard MIDI File. When the bytes hold "ADP ",
// everything from there on is passed as the ADPCM wave bank instead. Buffers are copied to
// exactly their sizes, so any read beyond them is caught by the sanitizers.
#include "melconv.h"
#include "orka/resources/VoiceBank.h"
#include "orka/common/ByteOrder.h"

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
    const int rc = MCVConvert(smf.data(), static_cast<std::int32_t>(smf.size()), out.data(), &outSize, voices.data(),
               static_cast<std::int32_t>(voices.size()), adpcm.empty() ? nullptr : adpcm.data(),
               static_cast<std::int32_t>(adpcm.size()), message.data(), static_cast<std::uint32_t>(message.size()));
    if (rc == 1) {
        // A file reported as built must be whole: its length field and CRC agree with it.
        const auto n = static_cast<std::size_t>(outSize);
        if (n < 48 || n > capacity || std::memcmp(out.data(), "MMMD", 4) != 0)
            __builtin_trap();
        const std::uint32_t length = orka::common::readBE32(&out[4]);
        if (length != n - 8)
            __builtin_trap();
        std::uint16_t crc = 0xFFFF;
        for (std::size_t i = 0; i + 2 < n; ++i) {
            crc ^= static_cast<std::uint16_t>(out[i] << 8);
            for (int b = 0; b < 8; ++b)
                crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
        }
        crc = static_cast<std::uint16_t>(~crc);
        if (orka::common::readBE16(&out[n - 2]) != crc)
            __builtin_trap();
    }
    return 0;
}
