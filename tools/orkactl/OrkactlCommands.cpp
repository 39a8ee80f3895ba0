#include "OrkactlCommands.h"

#include "orka/StringTable.h"
#include "orka/app/Settings.h"
#include "orka/PioResultHandle.h"
#include "orka/platform/Codepage.h"
#include "orka/platform/StatePaths.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace orkactl {
namespace {

constexpr int kDevice = 1;
constexpr int kKind = 3;
constexpr unsigned kStrUnknownError = 46000;
constexpr unsigned kStrNoStorage = 65070;
constexpr unsigned kStrNoData = 65086;

using orka::cli::Arguments;
using orka::cli::UsageError;

constexpr int kLowestSerialPort = 1;
constexpr int kHighestSerialPort = 256;
constexpr int kInfraredPort = 300;
constexpr int kInfraredPortSecond = 301;

bool isLinkPort(int value)
{
    return (value >= kLowestSerialPort && value <= kHighestSerialPort) || value == kInfraredPort ||
           value == kInfraredPortSecond;
}

int part(const Arguments& args)
{
    const auto given = args.value("part");
    return given ? number(*given, 0, INT32_MAX, "--part takes a number from 0") : 0;
}

int fail(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    return kExitFailed;
}

using Result = orka::PioResultHandle;

// The engine's text for a failed result (a plain ERROR has none).
std::string failureText(const Result& r) { return r.failureText(orka::loadString(kStrUnknownError)); }

// Shows elapsed time on stderr while a long call runs, when stderr is a terminal.
class Progress {
public:
    explicit Progress(std::string what) : what_(std::move(what))
    {
        if (!::isatty(STDERR_FILENO))
            return;
        thread_ = std::thread([this] {
            const auto start = std::chrono::steady_clock::now();
            while (!done_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                std::fprintf(stderr, "\r%s ... %.1f s", what_.c_str(), s);
                std::fflush(stderr);
            }
            std::fprintf(stderr, "\r\033[K");
        });
    }
    ~Progress()
    {
        done_ = true;
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::string what_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

bool readFile(const std::string& path, std::vector<unsigned char>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int features(int type)
{
    Result r(PIOQXFeatureRead(kDevice, type, kKind));
    if (!r.ok())
        return fail(failureText(r));
    if (!r->data)
        return fail(orka::loadString(kStrNoData));
    const auto* rec = static_cast<const PIOFeatureRecord*>(r->data);
    for (int i = 0; i < 7; ++i)
        std::printf(i ? " %d" : "%d", rec->values[i]);
    std::printf("\n");
    return kExitOk;
}

int list(int type, bool freeList)
{
    Result r(PIOQXIndexRead(kDevice, type, freeList ? 1 : 2, kKind));
    if (!r.ok())
        return fail(failureText(r));
    if (const auto* l = static_cast<const PIOIndexList*>(r->data))
        for (int i = 0; i < l->count; ++i)
            std::printf("%d\n", l->numbers[i]);
    return kExitOk;
}

int get(int type, int index, int part, const std::string& output)
{
    Result r = [&] {
        Progress p("reading item " + std::to_string(index));
        return Result(PIOQXDataRead(kDevice, type, index, part, kKind));
    }();
    if (!r.ok())
        return fail(failureText(r));
    std::vector<unsigned char> bytes;
    if (const auto* rec = static_cast<const PIODataRecord*>(r->data))
        bytes.assign(rec->bytes, rec->bytes + rec->count);
    if (!orka::platform::writeFileAtomically(output, bytes.data(), bytes.size()))
        return fail("orkactl: cannot write " + output + ": " + std::strerror(errno));
    return kExitOk;
}

int firstFreeIndex(int type, int& index)
{
    Result r(PIOQXIndexRead(kDevice, type, 1, kKind));
    if (!r.ok())
        return fail(failureText(r));
    const auto* l = static_cast<const PIOIndexList*>(r->data);
    if (!l)
        return fail(orka::loadString(kStrUnknownError));
    if (l->count == 0)
        return fail(orka::loadString(kStrNoStorage));
    index = l->numbers[0];
    return kExitOk;
}

int put(int type, const std::string& file, std::optional<int> index, int part)
{
    std::vector<unsigned char> bytes;
    if (!readFile(file, bytes))
        return fail("orkactl: cannot read " + file + ": " + std::strerror(errno));
    if (bytes.empty())
        return fail("orkactl: " + file + " is empty; nothing to send");
    int target = 0;
    if (index) {
        target = *index;
    } else if (int rc = firstFreeIndex(type, target); rc != kExitOk) {
        return rc;
    }
    Progress p("sending " + std::to_string(bytes.size()) + " bytes to item " + std::to_string(target));
    Result r(PIOQXDataWrite(kDevice, type, target, part, bytes.data(), bytes.size(), kKind));
    if (!r.exists())
        return fail("orkactl: the engine refused the arguments (type " + std::to_string(type) + ", index " +
                    std::to_string(target) + ")");
    if (!r.ok())
        return fail(failureText(r));
    std::printf("%d\n", target);
    return kExitOk;
}

int preview(int type, const std::string& file, int part)
{
    std::vector<unsigned char> bytes;
    if (!readFile(file, bytes))
        return fail("orkactl: cannot read " + file + ": " + std::strerror(errno));
    if (bytes.empty())
        return fail("orkactl: " + file + " is empty; nothing to send");
    Progress p("sending a preview of " + std::to_string(bytes.size()) + " bytes");
    Result r(PIOQXDataPreview(kDevice, type, part, bytes.data(), bytes.size(), kKind));
    if (!r.exists())
        return fail("orkactl: the engine refused the arguments");
    return r.ok() ? kExitOk : fail(failureText(r));
}

int remove(int type, int index, int part)
{
    Result r(PIOQXDataDelete(kDevice, type, index, part, kKind));
    return r.ok() ? kExitOk : fail(failureText(r));
}

int name(int type, int index, const std::vector<std::string>& rest)
{
    if (rest.empty()) {
        std::string ansi;
        PIOQXGetName(ansi, type, index);
        auto utf8 = orka::platform::Codepage::ansiToUtf8(ansi);
        std::printf("%s\n", utf8.value_or(ansi).c_str());
        return kExitOk;
    }
    auto ansi = orka::platform::Codepage::utf8ToAnsi(rest[0]);
    if (!ansi)
        return fail("orkactl: the name cannot be written in code page " + orka::platform::Codepage::ansiName());
    if (ansi->empty() || ansi->size() > 20)
        return fail("orkactl: a name takes 1 to 20 bytes in code page " + orka::platform::Codepage::ansiName() +
                    "; this one takes " + std::to_string(ansi->size()));
    Result r(PIOQXUpdateName(kDevice, type, index, ansi->data(), kKind));
    if (!r.exists())
        return fail("orkactl: the engine refused the name");
    return r.ok() ? kExitOk : fail(failureText(r));
}
int index(const Arguments& args) { return std::atoi(args.positional()[1].c_str()); }

} // namespace

int number(const std::string& text, long low, long high, const std::string& why)
{
    if (const auto v = orka::cli::parseInteger(text, low, high))
        return static_cast<int>(*v);
    throw UsageError(why);
}

int linkPort(const Arguments& args)
{
    int value = kInfraredPort;
    if (const auto given = args.value("port"))
        value = number(*given, INT32_MIN, INT32_MAX, "--port takes a number");
    else if (const char* env = std::getenv("ORKA_PORT"); env && *env)
        value = number(env, INT32_MIN, INT32_MAX, "ORKA_PORT is not a port number");
    else if (const int saved = orka::app::loadSettings().preferences.port(); isLinkPort(saved))
        value = saved;
    if (!isLinkPort(value))
        throw UsageError("the port must be 1-256, 300 or 301");
    return value;
}

const char* const kUsageText = "usage: orkactl [--port N] features TYPE\n"
                               "       orkactl [--port N] ls TYPE [--free]\n"
                               "       orkactl [--port N] get TYPE INDEX [--part P] -o FILE\n"
                               "       orkactl [--port N] put TYPE FILE [--index I] [--part P]\n"
                               "       orkactl [--port N] preview TYPE FILE [--part P]\n"
                               "       orkactl [--port N] rm TYPE INDEX [--part P]\n"
                               "       orkactl [--port N] name TYPE INDEX [NEWNAME]\n"
                               "       orkactl gallery --json\n"
                               "       orkactl [--port N] download TYPE --into FOLDER_ID\n"
                               "       orkactl [--port N] upload FOLDER_ID INDEX...\n"
                               "       orkactl [--port N] delete TYPE NUMBER...\n"
                               "       orkactl [--port N] pim handset|download contacts|calendar [--json] [--keys K,K...]\n"
                               "       orkactl pim store contacts|calendar --json\n"
                               "       orkactl [--port N] pim upload contacts|calendar [--uids U,U...]\n"
                               "N: 1-256 a serial port, 300 or 301 infrared (default $ORKA_PORT, else the port\n"
                               "   saved in Orka's connection settings, else 300)\n";

std::vector<Command> builtInCommands()
{
    const orka::cli::Option partOption{"part", 0, true};
    return {
        {"features", 1, 1, false, {}, [](int type, const Arguments&) { return features(type); }},
        {"ls", 1, 1, false, {{"free", 0, false}}, [](int type, const Arguments& a) { return list(type, a.has("free")); }},
        {"get", 2, 2, true, {partOption, {"", 'o', true}},
         [](int type, const Arguments& a) { return get(type, index(a), part(a), *a.value("o")); }},
        {"put", 2, 2, false, {partOption, {"index", 0, true}},
         [](int type, const Arguments& a) {
             std::optional<int> at;
             if (const auto given = a.value("index"))
                 at = number(*given, 1, INT32_MAX, "--index takes a number from 1");
             return put(type, a.positional()[1], at, part(a));
         }},
        {"preview", 2, 2, false, {partOption},
         [](int type, const Arguments& a) { return preview(type, a.positional()[1], part(a)); }},
        {"rm", 2, 2, true, {partOption}, [](int type, const Arguments& a) { return remove(type, index(a), part(a)); }},
        {"name", 2, 3, true, {},
         [](int type, const Arguments& a) {
             return name(type, index(a), std::vector<std::string>(a.positional().begin() + 2, a.positional().end()));
         }},
    };
}

int run(const Command& command, const Arguments& args)
{
    const std::vector<std::string>& words = args.positional();
    if (words.size() < command.minArgs || words.size() > command.maxArgs)
        throw UsageError("wrong number of arguments for " + command.name);
    const int type = number(words[0], 0, INT32_MAX, "TYPE must be a store type number");
    if (command.secondIsIndex)
        number(words[1], 1, INT32_MAX, "INDEX must be a number from 1");
    if (command.name == "get" && !args.value("o"))
        throw UsageError("get needs -o FILE");
    // Every value is checked before the link is opened.
    part(args);
    if (const auto given = args.value("index"))
        number(*given, 1, INT32_MAX, "--index takes a number from 1");
    const int link = linkPort(args);

    if (!PIOInitPhone())
        return fail(PIOGetLastErrMsg());
    if (!PIOOpen(link))
        return fail(PIOGetLastErrMsg());
    const int rc = command.work(type, args);
    PIOClose();
    return rc;
}

} // namespace orkactl
