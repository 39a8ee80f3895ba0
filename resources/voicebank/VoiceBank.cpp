#include "orka/resources/VoiceBank.h"

namespace orka::resources {

// Replaced by the generated bank once the generator lands.
std::span<const std::uint8_t> embeddedVoiceBank() { return {}; }

} // namespace orka::resources
