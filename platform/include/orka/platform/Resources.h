#pragma once
// The program's own resources by type and identifier, as compiled into the program.
#include <cstdint>
#include <span>
#include <string_view>

namespace orka::platform {

// The bytes of resource `type`/`id`, or an empty span when the program has none.
// ("VOICEDATA", 483) is the FM voice bank handed to the converter.
std::span<const std::uint8_t> findResource(std::string_view type, unsigned id);

} // namespace orka::platform
