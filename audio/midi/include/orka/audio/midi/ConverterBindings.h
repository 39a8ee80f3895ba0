#pragma once
// The two converter libraries the ring-tone editor loads by name for each use: Melconv
// (SMF to SMAF through MCVConvert) and the outside channel filter "Qmix.DLL".
#include "melconv.h"
#include "orka/platform/Library.h"

#include <array>
#include <cstdint>
#include <string>

namespace orka::audio::midi {

constexpr std::uint32_t kMelconvFailure = 65535;
constexpr std::uint32_t kMelconvSuccess = 1;

class MelconvBinding {
public:
    // Loads "Melconv.DLL" and looks up MCVConvert; without either the binding is not found.
    MelconvBinding();
    bool found() const { return convert_ != nullptr; }

    // 1 on success (outSize then holds the SMAF length); 65535 for bad arguments, a missing
    // library ("Melconv.dll was not found." in `message`) or a missing voice bank;
    // otherwise MCVConvert's result with its message.
    std::uint32_t convert(const std::uint8_t* smf, std::int32_t smfSize, std::uint8_t* out, std::int32_t* outSize,
                          const std::uint8_t* adpcmBank, std::int32_t adpcmBankSize, std::string& message);

private:
    platform::Library library_;
    MCVConvertFn convert_ = nullptr;
};

using QmixChannelFlags = std::array<std::uint32_t, 16>;

class QmixBinding {
public:
    static constexpr std::int32_t kNotUsable = 8;
    static constexpr std::int32_t kConvertMode = 20;

    // Loads "Qmix.DLL" and its seven exports; usable only when all seven are there.
    QmixBinding();
    bool usable() const { return usable_; }

    std::int32_t getInfo(QmixChannelFlags& flags);
    std::int32_t setInfo(QmixChannelFlags& flags);
    std::int32_t reset(); // 0 when not usable
    std::int32_t detect(const std::uint8_t* smf, std::int32_t length);
    std::int32_t convert(const std::uint8_t* smf, std::int32_t length, std::uint8_t* out, std::int32_t* outLength);
    // The filter's log since the last Reset: one line per change it made. Empty when not usable.
    std::string log();

private:
    using InfoFn = std::int32_t (*)(std::uint32_t*);
    using ResetFn = std::int32_t (*)();
    using DetectFn = std::int32_t (*)(const std::uint8_t*, std::int32_t);
    using ConvertFn = std::int32_t (*)(const std::uint8_t*, std::int32_t, std::uint8_t*, std::int32_t*, std::int32_t);
    using LogSizeFn = std::int32_t (*)();
    using LogFn = std::int32_t (*)(char*, std::int32_t);

    platform::Library library_;
    bool usable_ = false;
    InfoFn getInfo_ = nullptr;
    InfoFn setInfo_ = nullptr;
    ResetFn reset_ = nullptr;
    DetectFn detect_ = nullptr;
    ConvertFn convert_ = nullptr;
    LogSizeFn getLogSize_ = nullptr;
    LogFn getLog_ = nullptr;
};

} // namespace orka::audio::midi
