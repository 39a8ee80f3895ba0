#include "GalleryProtocol.h"
#include "EngineStrings.h"
#include "HexText.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

namespace orka::engine {
namespace {

constexpr int kFlags = kFlagPrefixAT | kFlagAppendCR;

const char* commandName(int commandId)
{
    switch (commandId) {
    case PIO_CMD_FEATURE_READ: return "^QXFTR";
    case PIO_CMD_INDEX_READ: return "^QXDIR";
    case PIO_CMD_DATA_READ: return "^QXBNR";
    case PIO_CMD_DATA_WRITE: return "^QXBNW";
    case PIO_CMD_DATA_PREVIEW: return "^QXDPV";
    case PIO_CMD_MEMORY_QUERY: return "^QXFMQ";
    case PIO_CMD_NAME: return "^QXUIN";
    default: return "";
    }
}

CAtValueList ints(std::initializer_list<int> values)
{
    CAtValueList list;
    for (int v : values)
        list.add(CAtValue::fromInt(v));
    return list;
}

// Walks the answer lines the way every parser does, handing prefixed lines to onLine.
// onLine returns false to end the walk (it has then set ok, the text and the error).
struct AnswerWalk {
    int& ok;
    int& error;
    std::string failureText;
    bool failed = false;
    bool hasFailureText = false;

    template <typename OnLine>
    void run(const std::vector<std::string>& lines, const char* prefix, const std::string& commandLine, OnLine onLine)
    {
        CAtValueList fields;
        for (const auto& line : lines) {
            int code = CAtProtocol::ParseLine(line, prefix, commandLine.c_str(), kFlagClearFields, fields);
            switch (code) {
            case kLineOk: ok = 1; break;
            case kLineError:
                ok = 0;
                failed = true;
                return;
            case kLineCmeError: {
                int n = fields.empty() ? 0 : fields[0].toInt();
                ok = 0;
                error = 25000 + n;
                failed = true;
                hasFailureText = true;
                failureText = CAtProtocol::ErrorText(n);
                return;
            }
            case kLinePrefixed:
                if (!onLine(fields)) {
                    failed = true;
                    return;
                }
                break;
            default: break; // echo, other text, empty
            }
        }
    }

    void fail(unsigned textId)
    {
        ok = 0;
        hasFailureText = true;
        failureText = engineString(textId);
    }
};

PIOIndexList* makeIndexList(const std::vector<std::int32_t>& numbers)
{
    auto list = std::make_unique<PIOIndexList>();
    list->count = static_cast<std::int32_t>(numbers.size());
    list->numbers = nullptr;
    if (!numbers.empty()) {
        list->numbers = new std::int32_t[numbers.size()];
        std::memcpy(list->numbers, numbers.data(), numbers.size() * sizeof(std::int32_t));
    }
    return list.release();
}

PIODataRecord* makeDataRecord(int type, int index, int part, const std::vector<unsigned char>& bytes)
{
    auto rec = std::make_unique<PIODataRecord>();
    rec->type = type;
    rec->index = index;
    rec->part = part;
    rec->count = static_cast<std::int32_t>(bytes.size());
    rec->bytes = new unsigned char[bytes.empty() ? 1 : bytes.size()];
    if (!bytes.empty())
        std::memcpy(rec->bytes, bytes.data(), bytes.size());
    return rec.release();
}
} // namespace

bool CGalleryProtocol::infrared() const
{
    const CEngineLink* link = links().active();
    return link && link->isInfrared();
}

void CGalleryProtocol::setTimeout(std::uint32_t cableMs, std::uint32_t infraredMs)
{
    if (CEngineLink* link = activeLink())
        link->SetResponseTimeout(link->isInfrared() ? infraredMs : cableMs);
}

std::uint32_t CGalleryProtocol::dataReadTimeout(int type) const
{
    std::uint32_t ms;
    switch (type) {
    case 2: case 4: case 7: ms = 30000; break;
    case 3: ms = 6000000; break;
    case 5: case 6: ms = 120000; break;
    case 8: ms = 0; break;
    case 10: case 11: ms = 6000; break;
    default: ms = 3000; break;
    }
    return infrared() ? ms * 3 : ms;
}

std::size_t CGalleryProtocol::writeBlockSize() const { return infrared() ? 100 : 200; }

PIOResult* CGalleryProtocol::run(const char* command, int commandId, int device, int kind, const CAtValueList& args)
{
    return Execute(command, kind, commandId, device, args, kFlags);
}

PIOResult* CGalleryProtocol::FeatureRead(int device, int type, int kind)
{
    if (type < 0)
        return nullptr;
    setTimeout(3000, 9000);
    return run("^QXFTR", PIO_CMD_FEATURE_READ, device, kind, ints({type}));
}

PIOResult* CGalleryProtocol::IndexRead(int device, int type, int listSelector, int kind)
{
    if (type < 0)
        return nullptr;
    setTimeout(3000, 9000);
    return run("^QXDIR", PIO_CMD_INDEX_READ, device, kind, ints({type, listSelector}));
}

PIOResult* CGalleryProtocol::DataRead(int device, int type, int index, int part, int kind)
{
    if (type < 0 || index < 1)
        return nullptr;
    const std::uint32_t ms = dataReadTimeout(type);
    if (CEngineLink* link = activeLink())
        link->SetResponseTimeout(ms);
    return run("^QXBNR", PIO_CMD_DATA_READ, device, kind, ints({type, index, part}));
}

PIOResult* CGalleryProtocol::transferBlocks(const char* command, int commandId, int device, int kind,
                                            const std::string& hexText, std::size_t blockSize,
                                            const CAtValueList& leading, bool withLength)
{
    const std::size_t count = (hexText.size() + blockSize - 1) / blockSize;
    PIOResult* result = nullptr;
    for (std::size_t k = 1; k <= count; ++k) {
        const std::string block = hexText.substr((k - 1) * blockSize, blockSize);
        CAtValueList args = leading;
        args.add(CAtValue::fromInt(static_cast<int>(count)));
        args.add(CAtValue::fromInt(static_cast<int>(k)));
        if (withLength)
            args.add(CAtValue::fromInt(static_cast<int>(block.size())));
        args.add(CAtValue::fromString(block));
        result = run(command, commandId, device, kind, args);
        if (!result)
            return nullptr;
        if (result->ok == 0)
            return result;
        const bool last = k == count;
        // Uploads pace the blocks between them; previews after every block.
        if (!last)
            FreeResult(result);
        if (!last || !withLength)
            std::this_thread::sleep_for(std::chrono::milliseconds(kRetryPauseMs));
    }
    return result;
}

PIOResult* CGalleryProtocol::DataWrite(int device, int type, int index, int part, const std::string& hexText, int kind)
{
    if (hexText.empty() || type < 0 || index < 1 || device == 0)
        return nullptr;
    setTimeout(6000, 30000);
    return transferBlocks("^QXBNW", PIO_CMD_DATA_WRITE, device, kind, hexText, writeBlockSize(),
                          ints({type, index, part}), true);
}

PIOResult* CGalleryProtocol::DataDelete(int device, int type, int index, int part, int kind)
{
    setTimeout(3000, 9000);
    return run("^QXBNW", PIO_CMD_DATA_WRITE, device, kind, ints({type, index, part, 0}));
}

PIOResult* CGalleryProtocol::DataPreview(int device, int type, int part, const std::string& hexText, int kind)
{
    if (hexText.empty() || type < 0 || device == 0)
        return nullptr;
    setTimeout(6000, 18000);
    return transferBlocks("^QXDPV", PIO_CMD_DATA_PREVIEW, device, kind, hexText, kPreviewBlockSize,
                          ints({type, 1, part}), false);
}

PIOResult* CGalleryProtocol::MemoryQuery(int device, int type, int a, int b, int kind)
{
    // The previous command's response time limit stays.
    CAtValueList args = ints({type, a});
    if (b > 0)
        args.add(CAtValue::fromInt(b));
    return run("^QXFMQ", PIO_CMD_MEMORY_QUERY, device, kind, args);
}

PIOResult* CGalleryProtocol::Name(int device, int type, int index, const std::string& hexText, int kind)
{
    setTimeout(9000, 27000);
    CAtValueList args = ints({type, index});
    if (!hexText.empty()) {
        args.add(CAtValue::fromInt(static_cast<int>(hexText.size())));
        args.add(CAtValue::fromString(hexText));
    }
    return run("^QXUIN", PIO_CMD_NAME, device, kind, args);
}

void* CGalleryProtocol::ParseResult(int commandId, const std::string& commandLine, int kind,
                                    const std::vector<std::string>& lines, int& ok, int& error, ResultData& dataKind)
{
    dataKind = ResultData::None;
    const char* prefix = commandName(commandId);
    AnswerWalk walk{ok, error};
    auto finish = [&](void* data, ResultData kindOfData) -> void* {
        if (walk.hasFailureText) {
            dataKind = ResultData::Text;
            return copyText(walk.failureText);
        }
        if (walk.failed || !data)
            return nullptr;
        dataKind = kindOfData;
        return data;
    };

    if (kind == kKindRead)
        return nullptr;

    if (kind == kKindTest) {
        // Numbers of the answer: feature and index read as they come, the block commands
        // in whole triples; name and memory commands give nothing.
        if (commandId == PIO_CMD_NAME || commandId == PIO_CMD_MEMORY_QUERY) {
            walk.run(lines, prefix, commandLine, [](const CAtValueList&) { return true; });
            return finish(nullptr, ResultData::None);
        }
        std::vector<std::int32_t> numbers;
        walk.run(lines, prefix, commandLine, [&](const CAtValueList& fields) {
            for (const auto& f : fields)
                numbers.push_back(f.toInt());
            return true;
        });
        if (commandId == PIO_CMD_DATA_READ || commandId == PIO_CMD_DATA_WRITE || commandId == PIO_CMD_DATA_PREVIEW)
            numbers.resize(numbers.size() - numbers.size() % 3);
        if (walk.hasFailureText || walk.failed)
            return finish(nullptr, ResultData::None);
        return finish(makeIndexList(numbers), ResultData::IndexList);
    }

    const bool manyLines = lines.size() >= 2;
    switch (commandId) {
    case PIO_CMD_FEATURE_READ: {
        std::unique_ptr<PIOFeatureRecord> record;
        walk.run(lines, prefix, commandLine, [&](const CAtValueList& fields) {
            if (fields.size() == 7) {
                record = std::make_unique<PIOFeatureRecord>();
                for (int i = 0; i < 7; ++i)
                    record->values[i] = fields[static_cast<std::size_t>(i)].toInt();
            }
            return true;
        });
        if (walk.failed || walk.hasFailureText)
            return finish(nullptr, ResultData::None);
        return finish(record.release(), ResultData::Feature);
    }
    case PIO_CMD_INDEX_READ:
        if (manyLines) {
            std::vector<std::int32_t> numbers;
            walk.run(lines, prefix, commandLine, [&](const CAtValueList& fields) {
                for (const auto& f : fields)
                    numbers.push_back(f.toInt());
                return true;
            });
            if (walk.failed || walk.hasFailureText)
                return finish(nullptr, ResultData::None);
            return finish(makeIndexList(numbers), ResultData::IndexList);
        }
        break;
    case PIO_CMD_DATA_READ:
        if (manyLines) {
            std::string hex;
            int expected = 1, type = 0, index = 0, part = 0;
            bool any = false;
            walk.run(lines, prefix, commandLine, [&](const CAtValueList& fields) {
                if (fields.size() != 7)
                    return true;
                if (fields[4].toInt() != expected) {
                    walk.fail(kStrBlockOrder);
                    return false;
                }
                const std::string& text = fields[6].text();
                if (static_cast<long long>(text.size()) != fields[5].toInt()) {
                    walk.fail(kStrBlockLength);
                    return false;
                }
                type = fields[0].toInt();
                index = fields[1].toInt();
                part = fields[2].toInt();
                hex += text;
                ++expected;
                any = true;
                return true;
            });
            if (walk.failed || walk.hasFailureText || !any)
                return finish(nullptr, ResultData::None);
            return finish(makeDataRecord(type, index, part, decodeHex(hex)), ResultData::DataRecord);
        }
        break;
    case PIO_CMD_MEMORY_QUERY:
        walk.run(lines, prefix, commandLine, [](const CAtValueList&) { return true; });
        return finish(nullptr, ResultData::None);
    case PIO_CMD_NAME: {
        std::string hex;
        int type = 0, index = 0;
        bool any = false;
        walk.run(lines, prefix, commandLine, [&](const CAtValueList& fields) {
            if (fields.size() == 3) {
                type = fields[0].toInt();
                index = fields[1].toInt();
                hex = fields[2].text();
                any = true;
            }
            return true;
        });
        if (walk.failed || walk.hasFailureText || !any || hex.size() % 2 != 0)
            return finish(nullptr, ResultData::None);
        return finish(makeDataRecord(type, index, 0, decodeHex(hex)), ResultData::DataRecord);
    }
    default: break;
    }
    // Status parser: write, delete, preview, and short answers to index and data reads.
    walk.run(lines, prefix, commandLine, [](const CAtValueList&) { return true; });
    return finish(nullptr, ResultData::None);
}

} // namespace orka::engine
