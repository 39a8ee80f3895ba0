#include "OrkactlCommands.h"

#include "GalleryCommands.h"

#include "orka/StringTable.h"
#include "orka/pio.h"
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

bool parseInt(const std::string& s, int& out)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v < -2147483647L || v > 2147483647L)
        return false;
    out = static_cast<int>(v);
    return true;
}

int usageError(const std::string& why)
{
    std::fprintf(stderr, "orkactl: %s\n", why.c_str());
    printUsage(stderr);
    return kExitUsage;
}

int fail(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    return kExitFailed;
}

// Owns one engine result and gives it back to the engine.
class Result {
public:
    explicit Result(unsigned long handle) : handle_(handle) {}
    ~Result() { PIOFreeMemory(handle_); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    const PIOResult* operator->() const { return reinterpret_cast<const PIOResult*>(handle_); }
    bool exists() const { return handle_ != 0; }
    bool ok() const { return handle_ && (*this)->ok == 1; }
    // The engine's text for a failed result (a plain ERROR has none).
    std::string failureText() const
    {
        if (handle_ && (*this)->data)
            return static_cast<const char*>((*this)->data);
        return orka::loadString(kStrUnknownError);
    }

private:
    unsigned long handle_;
};

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

int partOf(const Options& o) { return o.part.value_or(0); }

int features(int type)
{
    Result r(PIOQXFeatureRead(kDevice, type, kKind));
    if (!r.ok())
        return fail(r.failureText());
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
        return fail(r.failureText());
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
        return fail(r.failureText());
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
        return fail(r.failureText());
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
        return fail(r.failureText());
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
    return r.ok() ? kExitOk : fail(r.failureText());
}

int remove(int type, int index, int part)
{
    Result r(PIOQXDataDelete(kDevice, type, index, part, kKind));
    return r.ok() ? kExitOk : fail(r.failureText());
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
    return r.ok() ? kExitOk : fail(r.failureText());
}
} // namespace

void printUsage(std::FILE* out)
{
    std::fputs("usage: orkactl [--port N] features TYPE\n"
               "       orkactl [--port N] ls TYPE [--free]\n"
               "       orkactl [--port N] get TYPE INDEX [--part P] -o FILE\n"
               "       orkactl [--port N] put TYPE FILE [--index I] [--part P]\n"
               "       orkactl [--port N] preview TYPE FILE [--part P]\n"
               "       orkactl [--port N] rm TYPE INDEX [--part P]\n"
               "       orkactl [--port N] name TYPE INDEX [NEWNAME]\n",
               out);
    printGalleryUsage(out);
    std::fputs("N: 1-256 a serial port, 300 or 301 infrared (default $ORKA_PORT, else 300)\n",
               out);
}

std::optional<Options> parseArguments(int argc, char** argv)
{
    Options o;
    if (const char* p = std::getenv("ORKA_PORT"); p && *p && !parseInt(p, o.port)) {
        usageError("ORKA_PORT is not a port number");
        return std::nullopt;
    }
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](int& out) {
            if (i + 1 >= argc || !parseInt(argv[i + 1], out))
                return false;
            ++i;
            return true;
        };
        int v = 0;
        if (a == "-h" || a == "--help") {
            printUsage(stdout);
            std::exit(kExitOk);
        } else if (a == "--port") {
            if (!value(o.port)) { usageError("--port takes a number"); return std::nullopt; }
        } else if (a == "--part") {
            if (!value(v) || v < 0) { usageError("--part takes a number from 0"); return std::nullopt; }
            o.part = v;
        } else if (a == "--index") {
            if (!value(v) || v < 1) { usageError("--index takes a number from 1"); return std::nullopt; }
            o.index = v;
        } else if (a == "--free") {
            o.freeList = true;
        } else if (a == "-o") {
            if (i + 1 >= argc) { usageError("-o takes a file name"); return std::nullopt; }
            o.output = argv[++i];
        } else if (a.size() > 1 && a[0] == '-' && a.find_first_not_of("0123456789", 1) != std::string::npos) {
            usageError("unknown option " + a);
            return std::nullopt;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.empty()) {
        usageError("no command given");
        return std::nullopt;
    }
    o.command = positional[0];
    o.args.assign(positional.begin() + 1, positional.end());
    struct Shape { const char* name; std::size_t min, max; };
    static constexpr Shape shapes[] = {
        {"features", 1, 1}, {"ls", 1, 1}, {"get", 2, 2}, {"put", 2, 2}, {"preview", 2, 2}, {"rm", 2, 2}, {"name", 2, 3}};
    const Shape* shape = nullptr;
    for (const auto& s : shapes)
        if (o.command == s.name)
            shape = &s;
    if (!shape) {
        usageError("unknown command " + o.command);
        return std::nullopt;
    }
    if (o.args.size() < shape->min || o.args.size() > shape->max) {
        usageError("wrong number of arguments for " + o.command);
        return std::nullopt;
    }
    int n = 0;
    if (!parseInt(o.args[0], n) || n < 0) {
        usageError("TYPE must be a store type number");
        return std::nullopt;
    }
    if ((o.command == "get" || o.command == "rm" || o.command == "name") && (!parseInt(o.args[1], n) || n < 1)) {
        usageError("INDEX must be a number from 1");
        return std::nullopt;
    }
    if (o.command == "get" && o.output.empty()) {
        usageError("get needs -o FILE");
        return std::nullopt;
    }
    if (o.port < 1 || (o.port > 256 && o.port != 300 && o.port != 301)) {
        usageError("the port must be 1-256, 300 or 301");
        return std::nullopt;
    }
    return o;
}

int run(const Options& o)
{
    if (!PIOInitPhone())
        return fail(PIOGetLastErrMsg());
    if (!PIOOpen(o.port))
        return fail(PIOGetLastErrMsg());
    const int type = std::atoi(o.args[0].c_str());
    auto arg = [&](std::size_t i) { return std::atoi(o.args[i].c_str()); };
    int rc = kExitUsage;
    if (o.command == "features")
        rc = features(type);
    else if (o.command == "ls")
        rc = list(type, o.freeList);
    else if (o.command == "get")
        rc = get(type, arg(1), partOf(o), o.output);
    else if (o.command == "put")
        rc = put(type, o.args[1], o.index, partOf(o));
    else if (o.command == "preview")
        rc = preview(type, o.args[1], partOf(o));
    else if (o.command == "rm")
        rc = remove(type, arg(1), partOf(o));
    else if (o.command == "name")
        rc = name(type, arg(1), std::vector<std::string>(o.args.begin() + 2, o.args.end()));
    PIOClose();
    return rc;
}

} // namespace orkactl
