#include "FaultSet.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>

namespace q5sim {

namespace {
struct KindName {
    const char* name;
    FaultKind kind;
    bool needsValue;
};

constexpr KindName kindNames[] = {
    {"echo", FaultKind::Echo, false},
    {"silent", FaultKind::Silent, false},
    {"cme", FaultKind::Cme, true},
    {"cms", FaultKind::Cms, true},
    {"error", FaultKind::Error, false},
    {"answer", FaultKind::Answer, true},
    {"lowercase-ok", FaultKind::LowercaseOk, false},
    {"slow", FaultKind::Slow, true},
    {"drop-after", FaultKind::DropAfter, true},
    {"block-order", FaultKind::BlockOrder, false},
    {"wrong-length", FaultKind::WrongLength, false},
    {"full", FaultKind::Full, false},
    {"long-line", FaultKind::LongLine, true},
    {"garbage", FaultKind::Garbage, false},
    {"empty-list-line", FaultKind::EmptyListLine, false},
    {"irda-no9wire", FaultKind::IrdaNo9Wire, false},
    {"irda-service-late", FaultKind::IrdaServiceLate, false},
    {"irda-noircomm", FaultKind::IrdaNoIrcomm, false},
};

std::optional<int> parseCount(std::string_view text, int min, int max)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

bool fail(std::string* why, std::string text)
{
    if (why)
        *why = std::move(text);
    return false;
}

bool isIrdaFault(FaultKind k)
{
    return k == FaultKind::IrdaNo9Wire || k == FaultKind::IrdaServiceLate || k == FaultKind::IrdaNoIrcomm;
}

// Whether a fault of this kind has anything to do with the command.
bool concerns(const Fault& f, const AtCommand& c)
{
    if (isIrdaFault(f.kind))
        return false;
    if (!f.command.empty() && f.command != c.filterName())
        return false;
    const bool setForm = c.valid && c.form == CommandForm::Set;
    switch (f.kind) {
    case FaultKind::Full:
        return setForm && c.name == "^QXBNW" && c.args.size() == 7;
    case FaultKind::BlockOrder:
    case FaultKind::WrongLength:
        return setForm && c.name == "^QXBNR";
    case FaultKind::EmptyListLine:
        return setForm && c.name == "^QXDIR";
    default:
        return true;
    }
}
} // namespace

std::optional<Fault> parseFault(std::string_view spec, std::string* why)
{
    Fault f;
    spec = trim(spec);
    f.spec = std::string(spec);
    // "*K" and ":COMMAND" count as suffixes only in their exact shapes, so that the text
    // of an answer=TEXT fault may hold '*' and ':' ("answer=+CME ERROR:22").
    if (auto star = spec.rfind('*'); star != std::string_view::npos && star + 1 < spec.size()
        && std::all_of(spec.begin() + static_cast<std::ptrdiff_t>(star) + 1, spec.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        f.limit = parseCount(spec.substr(star + 1), 1, 1000000);
        if (!f.limit) {
            fail(why, "bad use count in \"" + f.spec + "\"");
            return std::nullopt;
        }
        spec = spec.substr(0, star);
    }
    if (auto colon = spec.rfind(':'); colon != std::string_view::npos) {
        std::string_view command = spec.substr(colon + 1);
        if (command.size() > 2 && (command[0] == 'A' || command[0] == 'a') && (command[1] == 'T' || command[1] == 't')
            && (command[2] == '^' || command[2] == '+'))
            command.remove_prefix(2);
        if (!command.empty() && (command[0] == '^' || command[0] == '+'))
            command.remove_prefix(1);
        const bool isName = !command.empty() && std::isalpha(static_cast<unsigned char>(command[0]))
            && std::all_of(command.begin(), command.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
        if (isName) {
            for (char c : command)
                f.command.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
            spec = spec.substr(0, colon);
        }
    }
    std::string_view value;
    const bool hasValue = spec.find('=') != std::string_view::npos;
    if (hasValue) {
        value = spec.substr(spec.find('=') + 1);
        spec = spec.substr(0, spec.find('='));
    }
    for (const KindName& k : kindNames) {
        if (spec != k.name)
            continue;
        if (hasValue != k.needsValue) {
            fail(why, k.needsValue ? "\"" + f.spec + "\" needs a value" : "\"" + f.spec + "\" takes no value");
            return std::nullopt;
        }
        f.kind = k.kind;
        if (k.kind == FaultKind::Answer) {
            if (value.empty() || value.find_first_of("\r\n") != std::string_view::npos) {
                fail(why, "\"" + f.spec + "\" needs a one-line text");
                return std::nullopt;
            }
            f.text = std::string(value);
            return f;
        }
        if (k.needsValue) {
            const int max = (k.kind == FaultKind::Slow) ? 600000 : (k.kind == FaultKind::LongLine ? 1000000 : 99999);
            const int min = (k.kind == FaultKind::DropAfter || k.kind == FaultKind::LongLine) ? 1 : 0;
            auto n = parseCount(value, min, max);
            if (!n) {
                fail(why, "bad value in \"" + f.spec + "\"");
                return std::nullopt;
            }
            f.value = *n;
        }
        return f;
    }
    fail(why, "unknown fault \"" + f.spec + "\"");
    return std::nullopt;
}

bool FaultSet::addOption(std::string_view spec, std::string* why)
{
    auto f = parseFault(spec, why);
    if (!f)
        return false;
    optionFaults_.push_back(std::move(*f));
    return true;
}

std::vector<std::string> FaultSet::reloadFile(const std::filesystem::path& file)
{
    std::vector<std::string> problems;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        fileExists_ = false;
        fileText_.reset();
        fileFaults_.clear();
        return problems;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fileExists_ = true;
    if (fileText_ && *fileText_ == text)
        return problems; // unchanged: the faults keep their counts
    fileText_ = text;
    fileFaults_.clear();
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::string_view spec = trim(line);
        if (spec.empty() || spec[0] == '#')
            continue;
        std::string why;
        if (auto f = parseFault(spec, &why))
            fileFaults_.push_back(std::move(*f));
        else
            problems.push_back(why);
    }
    return problems;
}

CommandPlan FaultSet::planFor(const AtCommand& command)
{
    CommandPlan plan;
    for (Fault& f : active()) {
        if (!concerns(f, command))
            continue;
        if (f.limit && f.uses >= *f.limit)
            continue;
        if (f.kind == FaultKind::DropAfter) {
            if (++f.counted < f.value)
                continue;
            f.counted = 0;
            plan.dropAfter = true;
            ++f.uses;
            continue;
        }
        const bool replaces = f.kind == FaultKind::Cme || f.kind == FaultKind::Cms || f.kind == FaultKind::Error
            || f.kind == FaultKind::Answer || f.kind == FaultKind::Full;
        if (replaces && plan.replacement)
            continue; // the first answer-replacing fault wins; the others keep their uses
        ++f.uses;
        switch (f.kind) {
        case FaultKind::Echo: plan.echo = true; break;
        case FaultKind::Silent: plan.silent = true; break;
        case FaultKind::Cme: plan.replacement = cmeError(f.value); break;
        case FaultKind::Cms: plan.replacement = "+CMS ERROR: " + std::to_string(f.value); break;
        case FaultKind::Error: plan.replacement = "ERROR"; break;
        case FaultKind::Answer: plan.replacement = f.text; break;
        case FaultKind::Full: plan.replacement = cmeError(20); break;
        case FaultKind::LowercaseOk: plan.quirks.lowercaseOk = true; break;
        case FaultKind::Slow: plan.delayMs += f.value; break;
        case FaultKind::BlockOrder: plan.quirks.blockOrder = true; break;
        case FaultKind::WrongLength: plan.quirks.wrongLength = true; break;
        case FaultKind::EmptyListLine: plan.quirks.emptyListLine = true; break;
        case FaultKind::LongLine: plan.prelude.push_back(longLine(f.value)); break;
        case FaultKind::Garbage: plan.prelude.push_back(garbageLine()); break;
        default: break;
        }
    }
    return plan;
}

IasVariant FaultSet::iasVariant() const
{
    IasVariant v;
    for (const Fault& f : active()) {
        v.no9Wire |= f.kind == FaultKind::IrdaNo9Wire;
        v.serviceLate |= f.kind == FaultKind::IrdaServiceLate;
        v.noIrcomm |= f.kind == FaultKind::IrdaNoIrcomm;
    }
    return v;
}

std::vector<std::string> FaultSet::activeSpecs() const
{
    std::vector<std::string> specs;
    for (const Fault& f : active())
        specs.push_back(f.spec);
    return specs;
}

std::string FaultSet::longLine(int length)
{
    // An informational line the PC should skip: no known prefix, no final result code.
    std::string line = "*QXINFO: ";
    line.resize(static_cast<std::size_t>(length) < line.size() ? static_cast<std::size_t>(length) : line.size());
    for (std::size_t i = line.size(); i < static_cast<std::size_t>(length); ++i)
        line.push_back(static_cast<char>('0' + i % 10));
    return line;
}

std::string FaultSet::garbageLine()
{
    // Line noise: control bytes, an escape sequence, bytes that are no UTF-8, but never
    // NUL, CR or LF, which would end the line.
    std::string line = "\x01\x02\x1B[2J\x7F\xC0\xC1\xFE\xFF";
    for (int i = 0; i < 40; ++i) {
        const int b = (0x80 + i * 37) % 256;
        line.push_back(static_cast<char>(b == 0 || b == '\n' || b == '\r' ? 0xFF : b));
    }
    return line;
}

} // namespace q5sim
