#include "HandsetProtocol.h"

#include <algorithm>
#include <limits>
#include <span>

namespace q5sim {

namespace {
constexpr long long intMin = std::numeric_limits<int>::min();
constexpr long long intMax = std::numeric_limits<int>::max();

// Handset error numbers used for the block transfers and names.
constexpr int errNotAllowed = 3;     // out-of-sequence block, length mismatch, bad hex
constexpr int errNotSupported = 4;   // unknown store type, preview of a store without one
constexpr int errInvalidIndex = 21;
constexpr int errBadName = 25;

Reply ok() { return Reply{{"OK"}, {}}; }
Reply error() { return Reply{{"ERROR"}, {}}; }
Reply cme(int n) { return Reply{{cmeError(n)}, {}}; }

// All arguments as 32-bit numbers, or nullopt when any is not a number.
std::optional<std::vector<int>> numbers(const std::vector<AtArgument>& args, std::size_t count)
{
    std::vector<int> out;
    for (std::size_t i = 0; i < count && i < args.size(); ++i) {
        auto n = numberArgument(args[i], intMin, intMax);
        if (!n)
            return std::nullopt;
        out.push_back(static_cast<int>(*n));
    }
    return out;
}

// The numbers separated by commas, appended to text. (Appending piece by piece also keeps
// GCC 12 at -O3 from a false -Wrestrict on prepending to a temporary string.)
void appendNumbers(std::string& text, std::span<const int> list)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0)
            text += ',';
        text += std::to_string(list[i]);
    }
}

std::string typeList()
{
    std::string text = "(";
    appendNumbers(text, HandsetStore::types());
    text += ')';
    return text;
}

std::string storeName(int type)
{
    switch (type) {
    case 2: return "wallpaper";
    case 3: return "main-menu picture";
    case 4: return "caller photo";
    case 5: return "power-on/off animation frame";
    case 7: return "ring tone";
    default: return "store " + std::to_string(type) + " item";
    }
}
} // namespace

std::string cmeError(int n) { return "+CME ERROR: " + std::to_string(n); }

int errorNumber(StoreError e)
{
    switch (e) {
    case StoreError::None: return 0;
    case StoreError::UnknownType: return errNotSupported;
    case StoreError::InvalidIndex: return errInvalidIndex;
    case StoreError::NotFound: return 22;
    case StoreError::Full: return 20;
    case StoreError::NameTooLong: return 24;
    case StoreError::Io: return 23;
    }
    return 100;
}

void HandsetProtocol::reset()
{
    write_.reset();
    preview_.reset();
    lastBlockLine_.clear();
}

Reply HandsetProtocol::handle(const std::string& line, const AnswerQuirks& quirks)
{
    return handle(parseAtCommand(line), line, quirks);
}

Reply HandsetProtocol::handle(const AtCommand& c, const std::string& line, const AnswerQuirks& quirks)
{
    Reply reply;
    const bool isWrite = c.valid && c.name == "^QXBNW" && c.form == CommandForm::Set && c.args.size() == 7;
    if (!isWrite)
        lastBlockLine_.clear(); // only a directly repeated block counts as a resend
    if (!c.valid)
        reply = error();
    else if (c.name.empty() || c.name[0] != '^')
        reply = basic(c);
    else if (c.form == CommandForm::Test)
        reply = testForm(c);
    else if (c.form != CommandForm::Set)
        reply = error();
    else if (c.name == "^QXFTR")
        reply = featureRead(c);
    else if (c.name == "^QXDIR")
        reply = indexRead(c, quirks);
    else if (c.name == "^QXBNR")
        reply = dataRead(c, quirks);
    else if (c.name == "^QXBNW")
        reply = c.args.size() == 4 ? dataDelete(c) : dataWrite(c, line);
    else if (c.name == "^QXDPV")
        reply = preview(c);
    else if (c.name == "^QXFMQ")
        reply = memoryQuery(c);
    else if (c.name == "^QXUIN")
        reply = name(c);
    else
        reply = error();
    if (quirks.lowercaseOk && !reply.lines.empty() && reply.lines.back() == "OK")
        reply.lines.back() = "ok";
    return reply;
}

Reply HandsetProtocol::basic(const AtCommand& c)
{
    const std::string& n = c.name;
    if (c.form != CommandForm::Action)
        return error();
    if (n.empty() || n == "V1" || n == "Q0")
        return ok();
    if (n == "E0" || n == "E" || n == "Z" || n == "&F") {
        echo_ = false;
        return ok();
    }
    if (n == "E1") {
        echo_ = true;
        return ok();
    }
    if (n == "I" || n == "+CGMM")
        return Reply{{"Q5", "OK"}, {}};
    if (n == "+CGMI")
        return Reply{{"Orka", "OK"}, {}};
    if (n == "+CGMR")
        return Reply{{"q5sim 1.0", "OK"}, {}};
    return error();
}

Reply HandsetProtocol::testForm(const AtCommand& c)
{
    const std::string types = typeList();
    std::string ranges;
    if (c.name == "^QXFTR")
        ranges = types;
    else if (c.name == "^QXDIR")
        ranges = types + ",(1,2)";
    else if (c.name == "^QXBNR")
        ranges = types + ",(1-99999),(0-999)";
    else if (c.name == "^QXBNW")
        ranges = types + ",(1-99999),(0-999),(0-65535),(1-65535),(2-1024)";
    else if (c.name == "^QXDPV")
        ranges = "(2,4,5,7),(1),(0-5),(1-65535),(1-65535)";
    else if (c.name == "^QXFMQ")
        ranges = types + ",(0-1),(0-1)";
    else if (c.name == "^QXUIN")
        ranges = types + ",(1-99999),(0-80)";
    else
        return error();
    return Reply{{c.name + ": " + ranges, "OK"}, {}};
}

Reply HandsetProtocol::featureRead(const AtCommand& c)
{
    auto n = numbers(c.args, 1);
    if (c.args.size() != 1 || !n)
        return error();
    const int type = (*n)[0];
    const StoreSettings* s = store_.settings(type);
    if (!s)
        return cme(errNotSupported);
    // type, capacity, highest part, used entries, free entries, free bytes, name length
    const auto freeBytes = std::min<std::uint64_t>(store_.freeBytes(type), intMax);
    std::string line = "^QXFTR: " + std::to_string(type) + "," + std::to_string(s->capacity) + ","
        + std::to_string(s->maxParts) + "," + std::to_string(store_.usedIndexes(type).size()) + ","
        + std::to_string(store_.freeIndexes(type).size()) + "," + std::to_string(freeBytes) + ","
        + std::to_string(HandsetStore::maxNameUnits);
    return Reply{{line, "OK"}, {}};
}

Reply HandsetProtocol::indexRead(const AtCommand& c, const AnswerQuirks& q)
{
    auto n = numbers(c.args, 2);
    if (c.args.size() != 2 || !n)
        return error();
    const int type = (*n)[0], selector = (*n)[1];
    if (!store_.hasType(type))
        return cme(errNotSupported);
    if (selector != 1 && selector != 2)
        return cme(errNotAllowed);
    const std::vector<int> list = selector == 1 ? store_.freeIndexes(type) : store_.usedIndexes(type);
    Reply reply;
    for (std::size_t i = 0; i < list.size(); i += indexesPerLine) {
        std::string line = "^QXDIR: ";
        appendNumbers(line, std::span<const int>(list).subspan(i, std::min(indexesPerLine, list.size() - i)));
        reply.lines.push_back(std::move(line));
    }
    if (list.empty() && q.emptyListLine)
        reply.lines.push_back("^QXDIR:");
    reply.lines.push_back("OK");
    return reply;
}

Reply HandsetProtocol::dataRead(const AtCommand& c, const AnswerQuirks& q)
{
    auto n = numbers(c.args, 3);
    if (c.args.size() != 3 || !n)
        return error();
    const int type = (*n)[0], index = (*n)[1], part = (*n)[2];
    if (StoreError e = store_.checkAddress(type, index, part); e != StoreError::None)
        return cme(errorNumber(e));
    const Bytes* bytes = store_.part(type, index, part);
    if (!bytes)
        return cme(errorNumber(StoreError::NotFound));
    const std::string hex = toHex(*bytes);
    const std::size_t count = (hex.size() + readBlockHex - 1) / readBlockHex;
    const std::string head = "^QXBNR: " + std::to_string(type) + "," + std::to_string(index) + ","
        + std::to_string(part) + "," + std::to_string(count) + ",";
    Reply reply;
    for (std::size_t k = 1; k <= count; ++k) {
        const std::string block = hex.substr((k - 1) * readBlockHex, readBlockHex);
        const std::size_t number = (q.blockOrder && k == 2) ? 3 : k;
        const std::size_t length = block.size() + ((q.wrongLength && k == 1) ? 1 : 0);
        reply.lines.push_back(head + std::to_string(number) + "," + std::to_string(length) + ",\"" + block + "\"");
    }
    reply.lines.push_back("OK");
    return reply;
}

std::optional<int> HandsetProtocol::acceptBlock(std::optional<Transfer>& transfer, int type, int index, int part,
                                                int count, int k, Bytes block, std::uint64_t room)
{
    if (k == 1) {
        transfer = Transfer{type, index, part, count, 1, {}};
    } else if (!transfer || transfer->type != type || transfer->index != index || transfer->part != part
               || transfer->count != count || transfer->next != k) {
        transfer.reset();
        return errNotAllowed;
    }
    if (transfer->data.size() + block.size() > room) {
        transfer.reset();
        return errorNumber(StoreError::Full);
    }
    transfer->data.insert(transfer->data.end(), block.begin(), block.end());
    ++transfer->next;
    return std::nullopt;
}

Reply HandsetProtocol::dataWrite(const AtCommand& c, const std::string& line)
{
    auto n = numbers(c.args, 6);
    if (c.args.size() != 7 || !n)
        return error();
    const int type = (*n)[0], index = (*n)[1], part = (*n)[2], count = (*n)[3], k = (*n)[4], hexLength = (*n)[5];
    const std::string& hex = c.args[6].text;
    if (StoreError e = store_.checkAddress(type, index, part); e != StoreError::None)
        return cme(errorNumber(e));
    if (count < 1 || k < 1 || k > count || hexLength < 0 || static_cast<std::size_t>(hexLength) != hex.size())
        return cme(errNotAllowed);
    auto block = fromHex(hex);
    if (!block || block->empty())
        return cme(errNotAllowed);
    if (!lastBlockLine_.empty() && line == lastBlockLine_
        && (k < count || store_.generation() == generationAfterLastBlock_))
        return Reply{{"OK"}, {"repeated block " + std::to_string(k) + " taken once"}};
    if (auto err = acceptBlock(write_, type, index, part, count, k, std::move(*block), store_.roomFor(type, index, part)))
        return cme(*err);
    lastBlockLine_ = line;
    if (k < count)
        return ok();
    Bytes data = std::move(write_->data);
    write_.reset();
    const std::size_t size = data.size();
    if (StoreError e = store_.writePart(type, index, part, std::move(data)); e != StoreError::None) {
        lastBlockLine_.clear();
        return cme(errorNumber(e));
    }
    generationAfterLastBlock_ = store_.generation();
    return Reply{{"OK"}, {"stored " + std::to_string(size) + " bytes as store " + std::to_string(type) + " item "
                              + std::to_string(index) + " part " + std::to_string(part)}};
}

Reply HandsetProtocol::dataDelete(const AtCommand& c)
{
    auto n = numbers(c.args, 4);
    if (!n || (*n)[3] != 0)
        return error();
    const int type = (*n)[0], index = (*n)[1], part = (*n)[2];
    if (StoreError e = store_.remove(type, index, part); e != StoreError::None)
        return cme(errorNumber(e));
    return Reply{{"OK"}, {"deleted store " + std::to_string(type) + " item " + std::to_string(index)
                              + (part ? " part " + std::to_string(part) : std::string())}};
}

Reply HandsetProtocol::preview(const AtCommand& c)
{
    auto n = numbers(c.args, 5);
    if (c.args.size() != 6 || !n)
        return error();
    const int type = (*n)[0], one = (*n)[1], part = (*n)[2], count = (*n)[3], k = (*n)[4];
    const std::string& hex = c.args[5].text;
    if (type != 2 && type != 4 && type != 5 && type != 7)
        return cme(errNotSupported);
    if (one != 1 || store_.checkAddress(type, 1, part) != StoreError::None)
        return cme(errInvalidIndex);
    if (count < 1 || k < 1 || k > count)
        return cme(errNotAllowed);
    auto block = fromHex(hex);
    if (!block || block->empty())
        return cme(errNotAllowed);
    if (auto err = acceptBlock(preview_, type, 1, part, count, k, std::move(*block), store_.settings(type)->memory))
        return cme(*err);
    if (k < count)
        return ok();
    Bytes data = std::move(preview_->data);
    preview_.reset();
    std::string note = "the handset shows the " + storeName(type) + (part ? " " + std::to_string(part) : std::string())
        + " preview (" + std::to_string(data.size()) + " bytes)";
    store_.showPreview(type, part, std::move(data));
    return Reply{{"OK"}, {note}};
}

Reply HandsetProtocol::memoryQuery(const AtCommand& c)
{
    auto n = numbers(c.args, 3);
    if (c.args.size() < 2 || c.args.size() > 3 || !n)
        return error();
    const int type = (*n)[0];
    if (!store_.hasType(type))
        return cme(errNotSupported);
    const auto freeBytes = std::min<std::uint64_t>(store_.freeBytes(type), intMax);
    const auto usedBytes = std::min<std::uint64_t>(store_.usedBytes(type), intMax);
    return Reply{{"^QXFMQ: " + std::to_string(type) + "," + std::to_string(freeBytes) + "," + std::to_string(usedBytes),
                  "OK"},
                 {}};
}

Reply HandsetProtocol::name(const AtCommand& c)
{
    auto n = numbers(c.args, c.args.size() == 4 ? 3 : 2);
    if ((c.args.size() != 2 && c.args.size() != 4) || !n)
        return error();
    const int type = (*n)[0], index = (*n)[1];
    if (c.args.size() == 2) {
        Bytes utf16;
        if (StoreError e = store_.name(type, index, utf16); e != StoreError::None)
            return cme(errorNumber(e));
        return Reply{{"^QXUIN: " + std::to_string(type) + "," + std::to_string(index) + ",\"" + toHex(utf16) + "\"", "OK"},
                     {}};
    }
    const int hexLength = (*n)[2];
    const std::string& hex = c.args[3].text;
    if (hexLength < 0 || static_cast<std::size_t>(hexLength) != hex.size())
        return cme(errNotAllowed);
    auto utf16 = fromHex(hex);
    if (!utf16 || utf16->size() % 2 != 0)
        return cme(errBadName);
    if (StoreError e = store_.setName(type, index, std::move(*utf16)); e != StoreError::None)
        return cme(errorNumber(e));
    return Reply{{"OK"}, {"named store " + std::to_string(type) + " item " + std::to_string(index)}};
}

} // namespace q5sim
