#include "orka/platform/Resources.h"

#include "orka/resources/VoiceBank.h"

namespace orka::platform {

std::span<const std::uint8_t> findResource(std::string_view type, unsigned id)
{
    if (type == "VOICEDATA" && id == 483)
        return orka::resources::embeddedVoiceBank();
    return {};
}

} // namespace orka::platform
