// Arbitrary answer lines through line classification and every gallery answer parser.
// The first byte picks the command and request kind; the rest is split into lines.
#include "GalleryProtocol.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using namespace orka::engine;

namespace {
struct ExposedGallery : CGalleryProtocol {
    using CAtProtocol::makeResult;
    using CGalleryProtocol::ParseResult;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int commandId = 2000 + data[0] % 7;
    const int kind = 1 + (data[0] >> 3) % 5;
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == '\n') {
            lines.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    lines.push_back(current);

    CAtValueList fields;
    for (const auto& line : lines) {
        CAtProtocol::ParseLine(line, "^QXBNR", "AT^QXBNR=2,1,0\r", 0, fields);
        CAtProtocol::ParseLine(line, nullptr, nullptr, 2, fields);
    }

    ExposedGallery gallery;
    int ok = 1, error = 0;
    ResultData dataKind = ResultData::None;
    void* parsed = gallery.ParseResult(commandId, "AT^QXBNR=2,1,0\r", kind, lines, ok, error, dataKind);
    PIOResult* result = ExposedGallery::makeResult(commandId, error, ok, parsed, dataKind, kind, "AT\r");
    gallery.FreeResult(result);
    return 0;
}
