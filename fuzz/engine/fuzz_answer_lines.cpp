// Arbitrary answer lines through line classification and every gallery answer parser.
// The first byte picks the command and request kind; the rest is split into lines. A line
// without groups or quotes is also read a second, plain way (trim, match the final codes and
// the prefix, split at commas), and both readings must agree.
#include "GalleryProtocol.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <strings.h>
#include <vector>

using namespace orka::engine;

namespace {
struct ExposedGallery : CGalleryProtocol {
    using CAtProtocol::makeResult;
    using CGalleryProtocol::ParseResult;
};
const char* const kPrefix = "^QXBNR";
const char* const kEcho = "AT^QXBNR=2,1,0\r";

struct PlainReading {
    int code = kLineOther;
    std::vector<std::string> fields;
};

// Heads hold no NUL, so comparing their length of bytes also compares any NUL in `s`.
bool startsNoCase(const std::string& s, const std::string& head)
{
    return s.size() >= head.size() && ::strncasecmp(s.c_str(), head.c_str(), head.size()) == 0;
}

bool equalsNoCase(const std::string& s, const std::string& word) { return s.size() == word.size() && startsNoCase(s, word); }

// The reading of a flat line (no parentheses, no quotes) as a person would do it by hand.
PlainReading readPlainly(const std::string& line)
{
    std::size_t b = line.find_first_not_of(" \r\n");
    if (b == std::string::npos)
        return {};
    const std::string work = line.substr(b, line.find_last_not_of(" \r\n") - b + 1);
    if (equalsNoCase(work, "OK"))
        return {kLineOk, {}};
    if (equalsNoCase(work, "ERROR"))
        return {kLineError, {}};
    auto afterHead = [&](std::size_t length) {
        std::size_t i = length;
        while (i < work.size() && (work[i] == ':' || work[i] == ' '))
            ++i;
        return work.substr(i);
    };
    if (startsNoCase(work, "+CME ERROR") || startsNoCase(work, "+CMS ERROR"))
        return {kLineCmeError, {afterHead(10)}};
    const std::string echo(kEcho, std::char_traits<char>::length(kEcho) - 1);
    if (startsNoCase(work, echo))
        return {kLineEcho, {}};
    PlainReading r;
    r.code = startsNoCase(work, kPrefix) ? kLinePrefixed : kLineNoPrefix;
    std::string rest = r.code == kLinePrefixed ? afterHead(std::char_traits<char>::length(kPrefix)) : work;
    std::size_t start = 0;
    while (start <= rest.size()) {
        const std::size_t comma = std::min(rest.find(',', start), rest.size());
        std::string piece = rest.substr(start, comma - start);
        piece.erase(0, piece.find_first_not_of(' ') == std::string::npos ? piece.size() : piece.find_first_not_of(' '));
        if (!piece.empty())
            r.fields.push_back(piece);
        start = comma + 1;
    }
    return r;
}

void checkAgainstPlainReading(const std::string& line)
{
    if (line.find_first_of("()\"") != std::string::npos)
        return;
    CAtValueList fields;
    const int code = CAtProtocol::ParseLine(line, kPrefix, kEcho, kFlagClearFields, fields);
    const PlainReading plain = readPlainly(line);
    if (code != plain.code || fields.size() != plain.fields.size())
        std::abort();
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].text() != plain.fields[i] || fields[i].groupMarks() != 0)
            std::abort();
}

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
        checkAgainstPlainReading(line);
        CAtProtocol::ParseLine(line, kPrefix, kEcho, 0, fields);
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
