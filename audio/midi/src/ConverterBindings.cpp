#include "orka/audio/midi/ConverterBindings.h"

#include <algorithm>

#include "orka/StringTable.h"
#include "orka/audio/midi/AudioStrings.h"
#include "orka/platform/Resources.h"

#include <cstring>
#include <vector>

namespace orka::audio::midi {

MelconvBinding::MelconvBinding()
{
    if (!library_.load("Melconv.DLL"))
        return;
    convert_ = library_.function<MCVConvertFn>("MCVConvert");
    if (!convert_)
        library_.unload();
}

std::uint32_t MelconvBinding::convert(const std::uint8_t* smf, std::int32_t smfSize, std::uint8_t* out,
                                      std::int32_t* outSize, const std::uint8_t* adpcmBank, std::int32_t adpcmBankSize,
                                      std::string& message)
{
    if (!smf || !out || smfSize == 0 || !outSize || *outSize == 0)
        return kMelconvFailure;
    if (!found()) {
        message = loadString(kIdMelconvNotFound);
        return kMelconvFailure;
    }
    const auto bank = platform::findResource("VOICEDATA", 483);
    if (bank.empty())
        return kMelconvFailure;
    std::vector<char> buffer(260, '\0');
    // One byte more than we announce, so the text always ends in a zero.
    buffer.push_back('\0');
    const std::int32_t result = convert_(smf, smfSize, out, outSize, bank.data(), static_cast<std::int32_t>(bank.size()),
                                         adpcmBank, adpcmBankSize, buffer.data(), 260);
    message.assign(buffer.data(), std::strlen(buffer.data()));
    return static_cast<std::uint32_t>(result);
}

QmixBinding::QmixBinding()
{
    if (!library_.load("Qmix.DLL"))
        return;
    getInfo_ = library_.function<InfoFn>("GetInfo");
    setInfo_ = library_.function<InfoFn>("SetInfo");
    reset_ = library_.function<ResetFn>("Reset");
    detect_ = library_.function<DetectFn>("Detect");
    convert_ = library_.function<ConvertFn>("Convert");
    getLogSize_ = library_.function<LogSizeFn>("GetLogSize");
    getLog_ = library_.function<LogFn>("GetLog");
    usable_ = getInfo_ && setInfo_ && reset_ && detect_ && convert_ && getLogSize_ && getLog_;
}

std::int32_t QmixBinding::getInfo(QmixChannelFlags& flags) { return usable_ ? getInfo_(flags.data()) : kNotUsable; }
std::int32_t QmixBinding::setInfo(QmixChannelFlags& flags) { return usable_ ? setInfo_(flags.data()) : kNotUsable; }
std::int32_t QmixBinding::reset() { return usable_ ? reset_() : 0; }

std::int32_t QmixBinding::detect(const std::uint8_t* smf, std::int32_t length)
{
    return usable_ ? detect_(smf, length) : kNotUsable;
}

std::int32_t QmixBinding::convert(const std::uint8_t* smf, std::int32_t length, std::uint8_t* out, std::int32_t* outLength)
{
    return usable_ ? convert_(smf, length, out, outLength, kConvertMode) : kNotUsable;
}

std::string QmixBinding::log()
{
    if (!usable_)
        return {};
    const std::int32_t size = getLogSize_();
    if (size <= 1)
        return {};
    std::string text(static_cast<std::size_t>(size), '\0');
    const std::int32_t written = getLog_(text.data(), size);
    text.resize(static_cast<std::size_t>(std::clamp(written, 0, size - 1)));
    return text;
}

} // namespace orka::audio::midi
