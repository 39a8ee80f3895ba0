#pragma once
// Data bytes as hex text: two upper-case digits a byte; decoding takes pairs of either case.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orka::engine {

std::string encodeHex(const unsigned char* data, std::size_t length);
// Decodes pairs of digits; an odd last digit is dropped; a pair that is not hex gives 0.
std::vector<unsigned char> decodeHex(const std::string& text);

} // namespace orka::engine
