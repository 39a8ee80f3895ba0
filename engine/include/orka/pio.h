#pragma once
// OrkaEngine: the phone link library. Everything Orka does with the handset goes through
// these sixteen functions. Every non-zero result of a gallery function is a PIOResult
// allocated by the engine and must be given back to PIOFreeMemory.
#include <cstdint>
#include <string>

#include "orka/platform/SerialPort.h"

using orka::platform::DCB;

extern "C" {

// The record every gallery command returns.
struct PIOResult {
    std::int32_t command;   // command id (2000-2006)
    std::int32_t error;     // 0; 25000 + n for a handset error n; -1 for an engine failure
    std::int32_t ok;        // 1 when the command succeeded
    void* data;             // the command's data when ok is 1; the failure text (or null) when ok is 0
    std::int32_t kind;      // the request kind sent; -1 when the engine failed
    char* commandLine;      // a copy of the command line sent (null when empty)
};

// Data of a feature read (2000): the seven numbers of the answer.
struct PIOFeatureRecord {
    std::int32_t values[7];
};

// Data of an index read (2001) and of the test-form answers: the numbers and their count.
struct PIOIndexList {
    std::int32_t* numbers;
    std::int32_t count;
};

// Data of a data read (2002) and a name read (2006, part 0, bytes are UTF-16LE text).
struct PIODataRecord {
    std::int32_t type;
    std::int32_t index;
    std::int32_t part;
    unsigned char* bytes;
    std::int32_t count;
};

enum PIOCommandId {
    PIO_CMD_FEATURE_READ = 2000,
    PIO_CMD_INDEX_READ = 2001,
    PIO_CMD_DATA_READ = 2002,
    PIO_CMD_DATA_WRITE = 2003,
    PIO_CMD_DATA_PREVIEW = 2004,
    PIO_CMD_MEMORY_QUERY = 2005,
    PIO_CMD_NAME = 2006,
};

int PIOInitPhone();
void PIOSetCOMPort(DCB settings);
int PIOOpen(int port);
int PIOClose();
const char* PIOGetLastErrMsg();
void PIOGetDLLVersion(unsigned short* major, unsigned short* minor, unsigned short* third);
void PIOFreeMemory(unsigned long result);

unsigned long PIOQXFeatureRead(int device, int type, int kind);
unsigned long PIOQXIndexRead(int device, int type, int listSelector, int kind);
unsigned long PIOQXDataRead(int device, int type, int index, int part, int kind);
unsigned long PIOQXDataWrite(int device, int type, int index, int part, unsigned char* data, unsigned long length, int kind);
unsigned long PIOQXDataPreview(int device, int type, int part, unsigned char* data, unsigned long length, int kind);
unsigned long PIOQXDataDelete(int device, int type, int index, int part, int kind);
unsigned long PIOQXMemorySize(int device, int type, int a, int b, int kind);
unsigned long PIOQXUpdateName(int device, int type, int index, char* name, int kind);

} // extern "C"

// Reads the name of an item (device 1, kind 3) into name, in the ANSI code page.
// Returns the length placed in the string; 0 when there is none (the string is emptied first).
int PIOQXGetName(std::string& name, int type, int index);

// Ports of the infrared link.
inline constexpr int PIO_PORT_IRDA = 300;
inline constexpr int PIO_PORT_IRDA_ALT = 301;
