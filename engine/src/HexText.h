#pragma once
// Data bytes as hex text on the handset link. Encoding is the suite's common one; decoding
// reads what the handset sends the way the engine always has (see decodeHex).
#include "orka/common/HexText.h"

#include <string>
#include <vector>

namespace orka::engine {

using common::encodeHex;

// Decodes pairs of digits; an odd last digit is dropped; a pair that is not hex gives 0.
std::vector<unsigned char> decodeHex(const std::string& text);

} // namespace orka::engine
