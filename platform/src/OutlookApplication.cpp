#include "orka/platform/OutlookApplication.h"

#include "orka/platform/StatePaths.h"
#include "OutlookTime.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace orka::platform {
namespace fs = std::filesystem;
namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kDateTolerance = 0.5 / kSecondsPerDay; // filters compare to the second
constexpr const char* kContactsDir = "contacts";
constexpr const char* kTasksDir = "tasks";
constexpr const char* kVcardExtension = ".vcf";
constexpr const char* kIcalExtension = ".ics";
constexpr std::size_t kMaxFileStem = 100;

// Days from 1970-01-01 of a proleptic Gregorian date.
long daysFromCivil(long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void civilFromDays(long z, int& y, int& m, int& d)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<long>(yoe) + era * 400 + (m <= 2));
}

const long kOleEpochDays = daysFromCivil(1899, 12, 30);

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string randomUid()
{
    std::random_device device;
    std::mt19937_64 gen((std::uint64_t{device()} << 32) ^ device());
    const std::uint64_t a = gen(), b = gen();
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08x-%04x-4%03x-%04x-%012llx", static_cast<unsigned>(a >> 32),
                  static_cast<unsigned>((a >> 16) & 0xFFFF), static_cast<unsigned>(a & 0xFFF),
                  static_cast<unsigned>(0x8000 | ((b >> 48) & 0x3FFF)),
                  static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
    return buf;
}

// A file name from a UID: characters that are unsafe in a path become "_".
std::string safeStem(const std::string& uid)
{
    std::string stem;
    for (char c : uid.substr(0, kMaxFileStem)) {
        const bool safe = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '@' || c == '.';
        stem += safe ? c : '_';
    }
    if (stem.empty() || stem[0] == '.')
        stem.insert(stem.begin(), '_');
    return stem;
}

bool readWhole(const fs::path& file, std::string& text)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

OleDate fileTime(const fs::path& file)
{
    std::error_code ec;
    const auto when = fs::last_write_time(file, ec);
    if (ec)
        return oleDateNow();
    return localOleDate(std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(when)));
}

// One parsed "[Property] = value" filter.
struct Filter {
    std::string property;
    std::optional<std::string> text;
    std::optional<double> number;

    bool matches(const OutlookItem& item) const
    {
        const OutlookValue& v = property == "MessageClass" ? OutlookValue(item.messageClass()) : item.value(property);
        if (text)
            return std::holds_alternative<std::string>(v) && std::get<std::string>(v) == *text;
        if (const auto* d = std::get_if<OleDate>(&v))
            return std::fabs(*d - *number) < kDateTolerance;
        if (const auto* n = std::get_if<long>(&v))
            return static_cast<double>(*n) == *number;
        return false;
    }
};

Filter parseFilter(const std::string& filter)
{
    auto fail = [&]() -> Filter { throw OutlookError(OutlookError::Kind::QueryFailed, "cannot understand the filter " + filter); };
    const auto open = filter.find('['), close = filter.find(']');
    const auto eq = filter.find('=', close == std::string::npos ? 0 : close);
    if (open == std::string::npos || close == std::string::npos || close < open || eq == std::string::npos)
        return fail();
    Filter f;
    f.property = filter.substr(open + 1, close - open - 1);
    std::string value = filter.substr(eq + 1);
    value.erase(0, value.find_first_not_of(' '));
    value.erase(value.find_last_not_of(' ') + 1);
    if (f.property.empty() || value.empty())
        return fail();
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
        f.text = value.substr(1, value.size() - 2);
        return f;
    }
    char* end = nullptr;
    const double n = std::strtod(value.c_str(), &end);
    if (*end != '\0')
        return fail();
    f.number = n;
    return f;
}
} // namespace

OleDate toOleDate(const CivilTime& t)
{
    const long days = daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) - kOleEpochDays;
    return static_cast<double>(days) + (t.hour * 3600.0 + t.minute * 60.0 + t.second) / kSecondsPerDay;
}

CivilTime fromOleDate(OleDate date)
{
    // Rounded to the second first, so 23:59:59.9999 does not come out as the wrong day.
    const long long seconds = std::llround(date * kSecondsPerDay);
    long days = static_cast<long>(seconds / 86400);
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    CivilTime t;
    civilFromDays(days + kOleEpochDays, t.year, t.month, t.day);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

OleDate oleDateNow() { return localOleDate(std::time(nullptr)); }

OleDate localOleDate(std::time_t utc)
{
    std::tm local{};
    localtime_r(&utc, &local);
    return toOleDate({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec});
}

std::time_t utcFromLocalOleDate(OleDate date)
{
    const CivilTime t = fromOleDate(date);
    std::tm local{};
    local.tm_year = t.year - 1900;
    local.tm_mon = t.month - 1;
    local.tm_mday = t.day;
    local.tm_hour = t.hour;
    local.tm_min = t.minute;
    local.tm_sec = t.second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

std::time_t utcFromCivil(const CivilTime& t)
{
    return static_cast<std::time_t>(daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day))) *
               86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

OutlookItem::OutlookItem(std::string messageClass, fs::path folder)
    : class_(std::move(messageClass)), folder_(std::move(folder))
{
}

const OutlookValue& OutlookItem::value(const std::string& property) const
{
    static const OutlookValue none;
    auto it = properties_.find(property);
    return it == properties_.end() ? none : it->second;
}

std::string OutlookItem::text(const std::string& property) const
{
    const auto* s = std::get_if<std::string>(&value(property));
    return s ? *s : std::string();
}

std::optional<OleDate> OutlookItem::date(const std::string& property) const
{
    const auto* d = std::get_if<OleDate>(&value(property));
    return d ? std::optional<OleDate>(*d) : std::nullopt;
}

bool OutlookItem::flag(const std::string& property) const
{
    const auto* b = std::get_if<bool>(&value(property));
    return b && *b;
}

long OutlookItem::number(const std::string& property) const
{
    const auto* n = std::get_if<long>(&value(property));
    return n ? *n : 0;
}

void OutlookItem::set(const std::string& property, OutlookValue v)
{
    if (std::holds_alternative<std::monostate>(v))
        properties_.erase(property);
    else
        properties_[property] = std::move(v);
}

void OutlookItem::setSource(fs::path file)
{
    file_ = std::move(file);
    folder_ = file_.parent_path();
}

void OutlookItem::save()
{
    // An item read from a file may hold more than the properties here (photos, other
    // numbers, items beside it): rewriting it would lose them, so only new items are saved.
    if (!file_.empty() && !savedHere_)
        throw OutlookError(OutlookError::Kind::ItemFailed, file_.string() + " was written by another program; it is left as it is");
    const bool contact = class_ == kContactClass;
    if (!contact && class_ != kTaskClass)
        throw OutlookError(OutlookError::Kind::ItemFailed, "items of class " + class_ + " cannot be saved");
    if (file_.empty() && text("EntryID").empty())
        set("EntryID", randomUid());
    const OleDate now = oleDateNow();
    if (!date("CreationTime"))
        set("CreationTime", now);
    set("LastModificationTime", now);
    fs::path target = file_;
    if (target.empty()) {
        const std::string stem = safeStem(text("EntryID"));
        const char* ext = contact ? kVcardExtension : kIcalExtension;
        target = folder_ / (stem + ext);
        for (int n = 2; fs::exists(target); ++n)
            target = folder_ / (stem + "-" + std::to_string(n) + ext);
    }
    const std::string body = contact ? writeVcardItem(*this) : writeVtodoItem(*this);
    if (!writeFileAtomically(target, body.data(), body.size()))
        throw OutlookError(OutlookError::Kind::ItemFailed, "cannot write " + target.string() + ": " + std::strerror(errno));
    file_ = target;
    savedHere_ = true;
}

OutlookItems OutlookItems::restrict(const std::string& filter) const
{
    const Filter f = parseFilter(filter);
    std::vector<OutlookItem> kept;
    std::copy_if(items_.begin(), items_.end(), std::back_inserter(kept), [&](const auto& i) { return f.matches(i); });
    return OutlookItems(std::move(kept));
}

std::optional<OutlookItem> OutlookItems::find(const std::string& filter) const
{
    const Filter f = parseFilter(filter);
    for (const auto& i : items_)
        if (f.matches(i))
            return i;
    return std::nullopt;
}

void OutlookItems::sort(const std::string& property)
{
    std::stable_sort(items_.begin(), items_.end(), [&](const OutlookItem& a, const OutlookItem& b) {
        const auto& va = a.value(property);
        const auto& vb = b.value(property);
        if (va.index() != vb.index())
            return va.index() < vb.index(); // unset (index 0) first
        if (const auto* s = std::get_if<std::string>(&va))
            return lower(*s) < lower(std::get<std::string>(vb));
        return va < vb;
    });
}

const OutlookItem& OutlookItems::item(std::size_t index) const
{
    if (index < 1 || index > items_.size())
        throw OutlookError(OutlookError::Kind::ItemFailed, "no item " + std::to_string(index));
    return items_[index - 1];
}

std::vector<OutlookFolder> OutlookFolder::folders() const
{
    std::vector<fs::path> dirs;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir_, ec))
        if (entry.is_directory(ec) && entry.path().filename().string().front() != '.')
            dirs.push_back(entry.path());
    std::sort(dirs.begin(), dirs.end());
    return {dirs.begin(), dirs.end()};
}

OutlookItems OutlookFolder::items() const
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir_, ec)) {
        const std::string ext = lower(entry.path().extension().string());
        if (entry.is_regular_file(ec) && (ext == kVcardExtension || ext == kIcalExtension))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<OutlookItem> items;
    for (const auto& file : files) {
        std::string text;
        if (!readWhole(file, text))
            continue;
        auto found = lower(file.extension().string()) == kVcardExtension ? readVcardItems(text) : readVtodoItems(text);
        const OleDate modified = fileTime(file);
        for (std::size_t n = 0; n < found.size(); ++n) {
            auto& item = found[n];
            item.setSource(file);
            // Items other programs wrote without a UID keep an id derived from their place.
            if (item.text("EntryID").empty())
                item.set("EntryID", "file:" + file.string() + "#" + std::to_string(n + 1));
            if (!item.date("LastModificationTime"))
                item.set("LastModificationTime", modified);
            if (!item.date("CreationTime"))
                item.set("CreationTime", *item.date("LastModificationTime"));
            items.push_back(std::move(item));
        }
    }
    return OutlookItems(std::move(items));
}

OutlookApplication::OutlookApplication() : root_(StatePaths::pimDir()) {}
OutlookApplication::OutlookApplication(fs::path root) : root_(std::move(root)) {}

OutlookFolder OutlookApplication::getDefaultFolder(int folder) const
{
    const char* name = folder == kContactsFolder ? kContactsDir : folder == kTasksFolder ? kTasksDir : nullptr;
    if (!name)
        throw OutlookError(OutlookError::Kind::Unavailable, "no default folder " + std::to_string(folder));
    const fs::path dir = root_ / name;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec))
        throw OutlookError(OutlookError::Kind::Unavailable, "cannot open the folder " + dir.string());
    return OutlookFolder(dir);
}

} // namespace orka::platform
