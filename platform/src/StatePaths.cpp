#include "orka/platform/StatePaths.h"

#include <cstdio>
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

bool writeFileAtomically(const fs::path& file, const void* data, std::size_t size)
{
    std::error_code ec;
    if (file.has_parent_path())
        fs::create_directories(file.parent_path(), ec);
    std::string tmp = file.string() + ".tmpXXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0)
        return false;
    // mkstemp makes the file private; give it the mode a plain create would have had.
    ::fchmod(fd, 0666 & ~currentUmask());
    const char* p = static_cast<const char*>(data);
    std::size_t left = size;
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = std::rename(tmp.c_str(), file.c_str()) == 0;
    if (!ok)
        ::unlink(tmp.c_str());
    return ok;
}

} // namespace orka::platform
