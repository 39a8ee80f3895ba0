// The sixteen exported functions of the phone link library.
#include "orka/pio.h"

#include "EngineApp.h"
#include "HexText.h"

#include "orka/Version.h"
#include "orka/platform/Codepage.h"

#include <new>

#define PIO_EXPORT __attribute__((visibility("default")))

using orka::engine::CEngineApp;
using orka::engine::CGalleryProtocol;

namespace {
CGalleryProtocol* protocol() { return CEngineApp::instance().protocol(); }

unsigned long handOut(PIOResult* r) { return reinterpret_cast<unsigned long>(r); }

// The gallery functions need PIOInitPhone first; without it they refuse like a bad argument.
template <typename Fn>
unsigned long withProtocol(Fn fn)
{
    CGalleryProtocol* p = protocol();
    if (!p)
        return 0;
    try {
        return handOut(fn(*p));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
} // namespace

extern "C" {

PIO_EXPORT int PIOInitPhone() { return CEngineApp::instance().InitPhone() ? 1 : 0; }

PIO_EXPORT void PIOSetCOMPort(DCB settings) { CEngineApp::instance().SetSerialSettings(settings); }

PIO_EXPORT int PIOOpen(int port) { return CEngineApp::instance().Open(port) ? 1 : 0; }

PIO_EXPORT int PIOClose() { return CEngineApp::instance().Close() ? 1 : 0; }

PIO_EXPORT const char* PIOGetLastErrMsg() { return CEngineApp::instance().LastErrorMessage(); }

PIO_EXPORT void PIOGetDLLVersion(unsigned short* major, unsigned short* minor, unsigned short*)
{
    if (major)
        *major = ORKA_VERSION_MAJOR;
    if (minor)
        *minor = ORKA_VERSION_MINOR;
}

PIO_EXPORT void PIOFreeMemory(unsigned long result)
{
    if (result == 0)
        return;
    if (CGalleryProtocol* p = protocol())
        p->FreeResult(reinterpret_cast<PIOResult*>(result));
}

PIO_EXPORT unsigned long PIOQXFeatureRead(int device, int type, int kind)
{
    return withProtocol([&](CGalleryProtocol& p) { return p.FeatureRead(device, type, kind); });
}

PIO_EXPORT unsigned long PIOQXIndexRead(int device, int type, int listSelector, int kind)
{
    return withProtocol([&](CGalleryProtocol& p) { return p.IndexRead(device, type, listSelector, kind); });
}

PIO_EXPORT unsigned long PIOQXDataRead(int device, int type, int index, int part, int kind)
{
    return withProtocol([&](CGalleryProtocol& p) { return p.DataRead(device, type, index, part, kind); });
}

PIO_EXPORT unsigned long PIOQXDataWrite(int device, int type, int index, int part, unsigned char* data,
                                        unsigned long length, int kind)
{
    if (!data || length == 0)
        return 0;
    return withProtocol([&](CGalleryProtocol& p) {
        return p.DataWrite(device, type, index, part, orka::engine::encodeHex(data, length), kind);
    });
}

PIO_EXPORT unsigned long PIOQXDataPreview(int device, int type, int part, unsigned char* data, unsigned long length, int kind)
{
    if (!data || length == 0)
        return 0;
    return withProtocol([&](CGalleryProtocol& p) {
        return p.DataPreview(device, type, part, orka::engine::encodeHex(data, length), kind);
    });
}

PIO_EXPORT unsigned long PIOQXDataDelete(int device, int type, int index, int part, int kind)
{
    return withProtocol([&](CGalleryProtocol& p) { return p.DataDelete(device, type, index, part, kind); });
}

PIO_EXPORT unsigned long PIOQXMemorySize(int device, int type, int a, int b, int kind)
{
    return withProtocol([&](CGalleryProtocol& p) { return p.MemoryQuery(device, type, a, b, kind); });
}

PIO_EXPORT unsigned long PIOQXUpdateName(int device, int type, int index, char* name, int kind)
{
    if (!name)
        return 0;
    const std::string ansi(name);
    if (ansi.empty() || ansi.size() > 20)
        return 0;
    auto wide = orka::platform::Codepage::ansiToUtf16(ansi);
    if (!wide || wide->empty())
        return 0;
    // Each UTF-16 code unit goes low byte first: "A" becomes 4100.
    std::string bytes;
    for (char16_t c : *wide) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    const std::string hex = orka::engine::encodeHex(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return withProtocol([&](CGalleryProtocol& p) { return p.Name(device, type, index, hex, kind); });
}

} // extern "C"

PIO_EXPORT int PIOQXGetName(std::string& name, int type, int index)
{
    name.clear();
    unsigned long handle = withProtocol([&](CGalleryProtocol& p) { return p.Name(1, type, index, std::string(), 3); });
    if (!handle)
        return 0;
    auto* result = reinterpret_cast<PIOResult*>(handle);
    if (result->ok == 1 && result->data) {
        auto* rec = static_cast<PIODataRecord*>(result->data);
        std::u16string text(static_cast<std::size_t>(rec->count / 2), u'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(rec->bytes[2 * i] | (rec->bytes[2 * i + 1] << 8));
        // Stop at a terminating zero the handset may send.
        if (auto z = text.find(u'\0'); z != std::u16string::npos)
            text.resize(z);
        name = orka::platform::Codepage::utf16ToAnsiOrQuestionMarks(text);
    }
    PIOFreeMemory(handle);
    return static_cast<int>(name.size());
}
