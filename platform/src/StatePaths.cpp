#include "orka/platform/StatePaths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>

namespace orka::platform {
namespace fs = std::filesystem;

namespace {
const char* env(const char* name)
{
    const char* v = std::getenv(name);
    return (v && *v) ? v : nullptr;
}

fs::path home()
{
    if (const char* h = env("HOME"))
        return h;
    return fs::temp_directory_path();
}

// With ORKA_HOME every root is ORKA_HOME itself.
fs::path root(const char* xdgVar, const fs::path& fallback)
{
    if (const char* o = env("ORKA_HOME"))
        return o;
    if (const char* x = env(xdgVar))
        return fs::path(x) / "orka";
    return fallback / "orka";
}
// The process's file mode mask, read without changing it.
mode_t currentUmask()
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    mode_t mask = 022;
    if (f) {
        char line[128];
        while (std::fgets(line, sizeof line, f)) {
            unsigned m = 0;
            if (std::sscanf(line, "Umask: %o", &m) == 1) {
                mask = static_cast<mode_t>(m);
                break;
            }
        }
        std::fclose(f);
    }
    return mask;
}
} // namespace

fs::path StatePaths::configRoot() { return root("XDG_CONFIG_HOME", home() / ".config"); }
fs::path StatePaths::dataRoot() { return root("XDG_DATA_HOME", home() / ".local/share"); }
fs::path StatePaths::stateRoot() { return root("XDG_STATE_HOME", home() / ".local/state"); }
fs::path StatePaths::cacheRoot() { return root("XDG_CACHE_HOME", home() / ".cache"); }
fs::path StatePaths::runtimeRoot()
{
    if (env("ORKA_HOME") || env("XDG_RUNTIME_DIR"))
        return root("XDG_RUNTIME_DIR", {});
    return fs::temp_directory_path() / ("orka-" + std::to_string(getuid()));
}

fs::path StatePaths::registryDir() { return configRoot() / "registry"; }
fs::path StatePaths::dosDevicesDir() { return configRoot() / "dosdevices"; }
fs::path StatePaths::galleryDir() { return dataRoot() / "gallery"; }
fs::path StatePaths::pimDir() { return dataRoot() / "pim"; }
fs::path StatePaths::driversDir() { return dataRoot() / "drivers"; }
fs::path StatePaths::ringLogFile() { return stateRoot() / "RingLog.log"; }
fs::path StatePaths::irdaDir() { return runtimeRoot() / "irda"; }
fs::path StatePaths::mailDir() { return cacheRoot() / "mail"; }

namespace {
// Bytes gathered before each write to the disk: few system calls for a render that hands
// over a few kilobytes at a time.
constexpr std::size_t kWriteChunk = 64 * 1024;

bool writeAll(int fd, const char* p, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAllAt(int fd, const char* p, std::size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, p, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        offset += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A file opened with O_TMPFILE gets its name through /proc; without /proc (or on a file
// system without unnamed files) the writer falls back to a named temporary file.
bool canNameUnnamedFiles() { return ::access("/proc/self/fd", X_OK) == 0; }
} // namespace

AtomicFileWriter::AtomicFileWriter(fs::path target) : target_(std::move(target))
{
    const fs::path dir = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
    if (canNameUnnamedFiles()) {
        // The mode is the one a plain create would give: 0666 less the umask.
        fd_ = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ >= 0)
            return;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            fail();
            return;
        }
    }
    std::string name = target_.string() + ".tmpXXXXXX";
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) {
        fail();
        return;
    }
    namedTemp_ = name;
    // mkstemp makes the file private; give it the mode a plain create would have had.
    ::fchmod(fd_, 0666 & ~currentUmask());
}

AtomicFileWriter::~AtomicFileWriter() { closeAndForget(); }

bool AtomicFileWriter::fail()
{
    if (error_.empty())
        error_ = std::strerror(errno);
    closeAndForget();
    return false;
}

void AtomicFileWriter::closeAndForget()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!namedTemp_.empty())
        ::unlink(namedTemp_.c_str());
    namedTemp_.clear();
    buffer_.clear();
}

void AtomicFileWriter::discard() { closeAndForget(); }

bool AtomicFileWriter::flush()
{
    if (buffer_.empty())
        return true;
    const bool written = writeAll(fd_, buffer_.data(), buffer_.size());
    buffer_.clear();
    return written || fail();
}

bool AtomicFileWriter::write(const void* data, std::size_t size)
{
    if (fd_ < 0)
        return false;
    const char* p = static_cast<const char*>(data);
    if (buffer_.size() + size > kWriteChunk && !flush())
        return false;
    if (size >= kWriteChunk)
        return writeAll(fd_, p, size) || fail();
    buffer_.append(p, size);
    return true;
}

bool AtomicFileWriter::writeAt(std::uint64_t offset, const void* data, std::size_t size)
{
    if (fd_ < 0 || !flush())
        return false;
    return writeAllAt(fd_, static_cast<const char*>(data), size, static_cast<off_t>(offset)) || fail();
}

bool AtomicFileWriter::commit()
{
    if (fd_ < 0 || !flush())
        return false;
    if (::fsync(fd_) != 0)
        return fail();
    if (namedTemp_.empty()) {
        // Link the unnamed file under a temporary name, then rename it over the target: a
        // link cannot replace an existing file, a rename can.
        const std::string procPath = "/proc/self/fd/" + std::to_string(fd_);
        for (unsigned attempt = 0; namedTemp_.empty(); ++attempt) {
            const std::string name = target_.string() + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
            if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                namedTemp_ = name;
            else if (errno != EEXIST || attempt > 100)
                return fail();
        }
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return fail();
    if (std::rename(namedTemp_.c_str(), target_.c_str()) != 0)
        return fail();
    namedTemp_.clear();
    return true;
}

bool writeFileAtomically(const fs::path& file, const void* data, std::size_t size, std::string* why)
{
    std::error_code ec;
    if (file.has_parent_path())
        fs::create_directories(file.parent_path(), ec);
    AtomicFileWriter writer(file);
    const bool done = writer.write(data, size) && writer.commit();
    if (!done && why)
        *why = writer.error();
    return done;
}

} // namespace orka::platform
