#include "AtProtocol.h"
#include "EngineStrings.h"
#include "LinkException.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <strings.h>
#include <thread>

namespace orka::engine {
using Clock = std::chrono::steady_clock;

namespace {
bool startsWithNoCase(const std::string& s, const std::string& prefix)
{
    return s.size() >= prefix.size() && ::strncasecmp(s.data(), prefix.data(), prefix.size()) == 0;
}

bool equalsNoCase(const std::string& a, const char* b)
{
    return a.size() == std::strlen(b) && ::strncasecmp(a.data(), b, a.size()) == 0;
}

std::string trimmed(const std::string& s)
{
    auto isSpace = [](char c) { return c == '\r' || c == '\n' || c == ' '; };
    std::size_t b = 0, e = s.size();
    while (b < e && isSpace(s[b])) ++b;
    while (e > b && isSpace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// The rest of a line after its prefix, with leading ":" and blanks removed.
std::string restAfter(const std::string& s, std::size_t prefixLength)
{
    std::size_t i = prefixLength;
    while (i < s.size() && (s[i] == ':' || s[i] == ' '))
        ++i;
    return s.substr(i);
}
} // namespace

CAtProtocol::CAtProtocol() { ResetFinalCodes(false); }

void CAtProtocol::ResetFinalCodes(bool empty)
{
    if (empty)
        finalCodes_.clear();
    for (const char* code : {"OK", "ERROR", "Error", "+CME ERROR", "+CMS ERROR"})
        finalCodes_.insert(code);
}

bool CAtProtocol::IsFinal(const std::string& line) const
{
    auto colon = line.find(':');
    return finalCodes_.count(colon == std::string::npos ? line : line.substr(0, colon)) > 0;
}

std::string CAtProtocol::BuildCommandLine(const std::string& name, int kind, const CAtValueList& args, int flags)
{
    std::string text;
    if (flags & kFlagPrefixAT)
        text = "AT";
    text += name;
    switch (kind) {
    case kKindAction:
        for (const auto& a : args)
            text += a.commandText(false);
        break;
    case kKindSet: {
        bool first = true;
        for (const auto& a : args) {
            text += first ? "=" : ",";
            first = false;
            text += a.commandText(true);
        }
        break;
    }
    case kKindTest: text += "=?"; break;
    case kKindRead: text += "?"; break;
    default: break;
    }
    if (flags & kFlagAppendCR)
        text += "\r";
    return text;
}

void CAtProtocol::SplitFields(const std::string& text, CAtValueList& fields)
{
    std::size_t pos = 0;
    const std::size_t n = text.size();
    unsigned depth = 0;
    bool firstOfGroup = false;
    auto add = [&](std::string value) {
        CAtValue v = CAtValue::fromString(std::move(value));
        std::uint16_t marks = static_cast<std::uint16_t>(std::min(depth, 0x3FFFu));
        if (firstOfGroup)
            marks |= CAtValue::kFirstInGroup;
        firstOfGroup = false;
        v.setGroupMarks(marks);
        fields.add(std::move(v));
    };
    std::vector<std::size_t> groupStarts;
    while (pos < n) {
        while (pos < n && text[pos] == ' ')
            ++pos;
        if (pos >= n)
            break;
        char c = text[pos];
        if (c == ',') {
            ++pos;
        } else if (c == '(') {
            ++depth;
            firstOfGroup = true;
            groupStarts.push_back(fields.size());
            ++pos;
        } else if (c == ')') {
            ++pos;
            if (depth > 0) {
                // The last field added inside this group closes it.
                if (!groupStarts.empty() && fields.size() > groupStarts.back()) {
                    auto& last = fields[fields.size() - 1];
                    last.setGroupMarks(last.groupMarks() | CAtValue::kLastInGroup);
                }
                if (!groupStarts.empty())
                    groupStarts.pop_back();
                --depth;
                firstOfGroup = false;
            }
        } else if (c == '"') {
            auto close = text.find('"', pos + 1);
            std::size_t end = close == std::string::npos ? n : close;
            add(text.substr(pos + 1, end - pos - 1));
            pos = close == std::string::npos ? n : close + 1;
        } else {
            std::size_t end = pos;
            while (end < n && text[end] != ',' && !(depth > 0 && text[end] == ')'))
                ++end;
            std::string value = text.substr(pos, end - pos);
            if (!value.empty())
                add(std::move(value));
            pos = end;
        }
    }
}

int CAtProtocol::ParseLine(const std::string& line, const char* prefix, const char* echo, int flags, CAtValueList& fields)
{
    if (flags & kFlagClearFields)
        fields.clear();
    const std::string work = trimmed(line);
    if (work.empty())
        return kLineOther;
    if (equalsNoCase(work, "OK"))
        return kLineOk;
    if (equalsNoCase(work, "ERROR"))
        return kLineError;
    for (const char* code : {"+CME ERROR", "+CMS ERROR"}) {
        if (startsWithNoCase(work, code)) {
            fields.add(CAtValue::fromString(restAfter(work, std::strlen(code))));
            return kLineCmeError;
        }
    }
    if (echo && *echo) {
        std::string sent(echo);
        sent.pop_back(); // the command line without its carriage return
        if (!sent.empty() && startsWithNoCase(work, sent))
            return kLineEcho;
    }
    if (!prefix || !*prefix)
        return kLineOther;
    const std::string p(prefix);
    if (!startsWithNoCase(work, p)) {
        SplitFields(work, fields);
        return kLineNoPrefix;
    }
    SplitFields(restAfter(work, p.size()), fields);
    return kLinePrefixed;
}

std::string CAtProtocol::ErrorText(int number)
{
    unsigned id = number < 26000 ? static_cast<unsigned>(kStrHandsetErrorBase + number) : static_cast<unsigned>(number);
    if (number < -static_cast<int>(kStrHandsetErrorBase) || !hasEngineString(id))
        id = kStrGeneralHandsetError;
    return engineString(id);
}

char* CAtProtocol::copyText(const std::string& text)
{
    char* p = new char[text.size() + 1];
    std::memcpy(p, text.c_str(), text.size() + 1);
    return p;
}

PIOResult* CAtProtocol::makeResult(int commandId, int error, int ok, void* data, ResultData dataKind, int kind,
                                   const std::string& commandLine)
{
    auto* box = new ResultBox;
    box->result.command = commandId;
    box->result.error = error;
    box->result.ok = ok;
    box->result.data = data;
    box->result.kind = kind;
    box->result.commandLine = commandLine.empty() ? nullptr : copyText(commandLine);
    box->dataKind = data ? dataKind : ResultData::None;
    return &box->result;
}

void* CAtProtocol::ParseResult(int, const std::string&, int, const std::vector<std::string>&, int&, int&, ResultData& dataKind)
{
    dataKind = ResultData::None;
    return nullptr;
}

void CAtProtocol::discardLateAnswer(CEngineLink& link)
{
    // An answer that came after its command gave up would otherwise be read as the answer
    // to this one: every answer read after a send belongs to that send.
    const std::string stale = link.DiscardInput();
    if (!stale.empty())
        traceLine("discarded", stale);
}

CAtProtocol::Attempt CAtProtocol::collectAnswer(CEngineLink& link, std::vector<std::string>& lines)
{
    // The response timeout lives in the link; the empty-line clock uses the same limit.
    bool clockStarted = false;
    Clock::time_point firstEmpty;
    std::string line;
    for (;;) {
        if (!link.ReadLine(line))
            return Attempt::Failed;
        if (line.empty()) {
            auto now = Clock::now();
            if (!clockStarted) {
                clockStarted = true;
                firstEmpty = now;
            } else if (std::chrono::duration_cast<std::chrono::milliseconds>(now - firstEmpty).count() >
                       static_cast<long long>(link.ResponseTimeout())) {
                return Attempt::Failed;
            }
            continue;
        }
        if (line == "\r")
            continue;
        lines.push_back(line);
        if (IsFinal(line))
            return Attempt::Answered;
    }
}

PIOResult* CAtProtocol::Execute(const std::string& name, int kind, int commandId, int, const CAtValueList& args, int flags)
{
    lines_.clear();
    const std::string commandLine = BuildCommandLine(name, kind, args, flags);
    int retries = 0;
    try {
        for (;;) {
            CEngineLink* link = activeLink();
            Attempt attempt = Attempt::Failed;
            if (link) {
                discardLateAnswer(*link);
                if (link->WriteText(commandLine))
                    attempt = collectAnswer(*link, lines_);
            }
            if (attempt == Attempt::Answered) {
                int ok = 1, error = 0;
                ResultData dataKind = ResultData::None;
                void* data = ParseResult(commandId, commandLine, kind, lines_, ok, error, dataKind);
                PIOResult* result = makeResult(commandId, error, ok, data, dataKind, kind, commandLine);
                if (ok == 1 || retries >= kMaxRetries)
                    return result;
                FreeResult(result);
            } else if (retries >= kMaxRetries) {
                return makeResult(commandId, -1, 0, copyText(engineString(kStrTimedOut)), ResultData::Text, -1, commandLine);
            }
            ++retries;
            lines_.clear();
            std::this_thread::sleep_for(std::chrono::milliseconds(kRetryPauseMs));
        }
    } catch (const CLinkException& e) {
        if (linkFailure_)
            linkFailure_(e.errorMessage());
        return makeResult(commandId, -1, 0, copyText(e.errorMessage()), ResultData::Text, -1, commandLine);
    }
}

void CAtProtocol::FreeResult(PIOResult* result)
{
    if (!result)
        return;
    auto* box = reinterpret_cast<ResultBox*>(result);
    switch (box->dataKind) {
    case ResultData::Text: delete[] static_cast<char*>(result->data); break;
    case ResultData::Feature: delete static_cast<PIOFeatureRecord*>(result->data); break;
    case ResultData::IndexList: {
        auto* list = static_cast<PIOIndexList*>(result->data);
        delete[] list->numbers;
        delete list;
        break;
    }
    case ResultData::DataRecord: {
        auto* rec = static_cast<PIODataRecord*>(result->data);
        delete[] rec->bytes;
        delete rec;
        break;
    }
    case ResultData::None: break;
    }
    delete[] result->commandLine;
    delete box;
}

} // namespace orka::engine
