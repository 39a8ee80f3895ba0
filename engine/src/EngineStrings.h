#pragma once
// Ids of the engine's own texts in the string table.
#include <string>

namespace orka::engine {

inline constexpr unsigned kStrHandsetErrorBase = 25000;
inline constexpr unsigned kStrGeneralHandsetError = 25100;
inline constexpr unsigned kStrPortError = 26001;
inline constexpr unsigned kStrInterrupted = 26002;
inline constexpr unsigned kStrTimedOut = 26003;
inline constexpr unsigned kStrBlockOrder = 26004;
inline constexpr unsigned kStrBlockLength = 26005;
inline constexpr unsigned kStrReadFailed = 26006;
inline constexpr unsigned kStrWriteFailed = 26007;
inline constexpr unsigned kStrNoDetails = 46001;
inline constexpr unsigned kStrOutOfMemory = 46040;
inline constexpr unsigned kStrNoInfraredDevice = 46110;
inline constexpr unsigned kStrNoIrComm = 46111;
inline constexpr unsigned kStrNoNineWire = 46112;
inline constexpr unsigned kStrInfraredRead = 46113;
inline constexpr unsigned kStrInfraredWrite = 46114;
inline constexpr unsigned kStrSerialSetup = 46120;
inline constexpr unsigned kStrSerialTimeouts = 46121;
inline constexpr unsigned kStrConnectionFailed = 46122;
// The framework's texts for a file (port) that cannot be opened.
inline constexpr unsigned kStrFileGeneric = 61728;
inline constexpr unsigned kStrFileNotFound = 61729;
inline constexpr unsigned kStrFileBadPath = 61730;
inline constexpr unsigned kStrFileAccessDenied = 61732;
inline constexpr unsigned kStrFileSharingViolation = 61734;

// The text of an id, or an empty string.
std::string engineString(unsigned id);
// Whether the table has the id.
bool hasEngineString(unsigned id);

} // namespace orka::engine
