#pragma once
// Melconv: turns one Standard MIDI File of format 0 into one SMAF file for the Q5 handset.
// The library keeps no state between calls; two threads may convert at the same time.
#include <cstdint>

#if defined(_WIN32)
#define MELCONV_API __declspec(dllexport)
#else
#define MELCONV_API __attribute__((visibility("default")))
#endif

extern "C" {

// Converts `smf` (smfSize bytes) into SMAF. `*outSize` holds the capacity of `out` on entry
// and the length of the SMAF built on return (also when the result is 0 because it did not
// fit, so the caller can retry with a larger buffer; 0 when the conversion failed earlier).
// `voiceBank` is the 86948-byte FM voice bank; `adpcmBank` the optional ADPCM wave bank.
// Returns 1 on success. On failure returns 0 and copies the English reason into `message`:
// at most messageSize bytes, without a terminating zero (the caller clears the buffer).
MELCONV_API int MCVConvert(const std::uint8_t* smf, std::int32_t smfSize, std::uint8_t* out,
                           std::int32_t* outSize, const std::uint8_t* voiceBank,
                           std::int32_t voiceBankSize, const std::uint8_t* adpcmBank,
                           std::int32_t adpcmBankSize, char* message, std::uint32_t messageSize);

// The signature, for callers that look the function up by name.
typedef int (*MCVConvertFn)(const std::uint8_t*, std::int32_t, std::uint8_t*, std::int32_t*,
                            const std::uint8_t*, std::int32_t, const std::uint8_t*, std::int32_t,
                            char*, std::uint32_t);
}
