#include "EngineStrings.h"

#include "orka/StringTable.h"

namespace orka::engine {
std::string engineString(unsigned id) { return orka::loadString(id); }
bool hasEngineString(unsigned id) { return orka::findString(id).has_value(); }
} // namespace orka::engine
