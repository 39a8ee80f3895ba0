#pragma once
// Our own FM voice bank (86948 bytes beginning "FM  "), built from the readable source in
// resources/voicebank/ and compiled into the programs that need it.
#include <cstdint>
#include <span>

namespace orka::resources {

// The embedded voice bank bytes; empty until the bank generator has produced them.
std::span<const std::uint8_t> embeddedVoiceBank();

} // namespace orka::resources
