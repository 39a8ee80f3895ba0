#pragma once
// The channel filter's exports and the converter, called as the ring-tone editor calls them.
#include "../../audio/midi/tests/SmfBuilder.h"
#include "melconv.h"
#include "orka/common/FilterLog.h"
#include "orka/resources/VoiceBank.h"
#include "orka/smf/Smf.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>

extern "C" {
std::int32_t GetInfo(std::uint32_t* flags);
std::int32_t SetInfo(std::uint32_t* flags);
std::int32_t Reset();
std::int32_t Detect(const std::uint8_t* smf, std::int32_t length);
std::int32_t Convert(const std::uint8_t* smf, std::int32_t length, std::uint8_t* out, std::int32_t* outLength, std::int32_t mode);
std::int32_t GetLogSize();
std::int32_t GetLog(char* buffer, std::int32_t size);
}

namespace orka::test {

inline std::array<std::uint32_t, 16> flagsOf(std::initializer_list<int> channels)
{
    std::array<std::uint32_t, 16> f{};
    for (int c : channels)
        f[static_cast<std::size_t>(c)] = 1;
    return f;
}

inline std::array<std::uint32_t, 16> allChannels()
{
    std::array<std::uint32_t, 16> f;
    f.fill(1);
    return f;
}

// Convert into the twice-the-input buffer the editor gives; empty on refusal.
inline Bytes qmixConvert(const Bytes& in, std::int32_t* result = nullptr)
{
    Bytes out(in.size() * 2);
    std::int32_t length = static_cast<std::int32_t>(out.size());
    const std::int32_t r = Convert(in.data(), static_cast<std::int32_t>(in.size()), out.data(), &length, 20);
    if (result)
        *result = r;
    if (r != 0)
        return {};
    out.resize(static_cast<std::size_t>(length));
    return out;
}

// Keeps `keep`, prepares, and returns the prepared song.
inline Bytes prepare(const Bytes& in, std::array<std::uint32_t, 16> keep = allChannels(), std::int32_t* result = nullptr)
{
    Reset();
    Detect(in.data(), static_cast<std::int32_t>(in.size()));
    SetInfo(keep.data());
    return qmixConvert(in, result);
}

inline std::string qmixLog()
{
    const std::int32_t size = GetLogSize();
    std::string log(static_cast<std::size_t>(size), '\0');
    const std::int32_t n = GetLog(log.data(), size);
    log.resize(static_cast<std::size_t>(n));
    return log;
}

// The converter's message for `smf`, or "" when it converts.
inline std::string converterRefusal(const Bytes& smf)
{
    const auto bank = orka::resources::embeddedVoiceBank();
    Bytes out(smf.size() * 10 + 4096);
    std::int32_t outSize = static_cast<std::int32_t>(out.size());
    char message[260] = {};
    const int r = MCVConvert(smf.data(), static_cast<std::int32_t>(smf.size()), out.data(), &outSize, bank.data(),
                             static_cast<std::int32_t>(bank.size()), nullptr, 0, message, sizeof message - 1);
    return r == 1 ? std::string() : std::string("refused: ") + message;
}

} // namespace orka::test
