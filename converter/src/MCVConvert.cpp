// The library's one export.
#include "melconv.h"

#include "ConversionJob.h"

#include <algorithm>
#include <cstring>
#include <limits>

extern "C" MELCONV_API int MCVConvert(const std::uint8_t* smf, std::int32_t smfSize, std::uint8_t* out,
                                      std::int32_t* outSize, const std::uint8_t* voiceBank,
                                      std::int32_t voiceBankSize, const std::uint8_t* adpcmBank,
                                      std::int32_t adpcmBankSize, char* message, std::uint32_t messageSize)
{
    if (!outSize)
        return 0;
    const auto size = [](std::int32_t n) { return static_cast<std::size_t>(std::max<std::int32_t>(n, 0)); };
    const std::size_t capacity = out ? size(*outSize) : 0;
    try {
        melconv::ConversionJob job(smf ? std::span<const std::uint8_t>(smf, size(smfSize)) : std::span<const std::uint8_t>{},
                                   melconv::VoiceBankView(voiceBank, size(voiceBankSize)),
                                   melconv::AdpcmBank(adpcmBank, size(adpcmBankSize)));
        const bool ok = job.run(capacity);
        *outSize = static_cast<std::int32_t>(
            std::min<std::uint64_t>(job.builtLength(), std::numeric_limits<std::int32_t>::max()));
        if (ok) {
            std::memcpy(out, job.output().data(), job.output().size());
            return 1;
        }
        if (message)
            std::memcpy(message, job.message().data(), std::min<std::size_t>(job.message().size(), messageSize));
    } catch (const std::exception&) {
        // Nothing may cross the C boundary as an exception; running out of memory on an
        // absurd song is the only way here.
        *outSize = 0;
        static constexpr char text[] = "Out of memory.";
        if (message)
            std::memcpy(message, text, std::min<std::size_t>(sizeof text - 1, messageSize));
    }
    return 0;
}
