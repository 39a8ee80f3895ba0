#pragma once
// Where Orka keeps its files. With ORKA_HOME set, everything lives directly under it;
// otherwise the XDG base directories decide (settings, data, state, runtime).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace orka::platform {

class StatePaths {
public:
    // $ORKA_HOME/registry or $XDG_CONFIG_HOME/orka/registry
    static std::filesystem::path registryDir();
    // $ORKA_HOME/dosdevices or $XDG_CONFIG_HOME/orka/dosdevices: the com<n> links
    static std::filesystem::path dosDevicesDir();
    // $ORKA_HOME/gallery or $XDG_DATA_HOME/orka/gallery
    static std::filesystem::path galleryDir();
    // $ORKA_HOME/pim or $XDG_DATA_HOME/orka/pim
    static std::filesystem::path pimDir();
    // $ORKA_HOME/drivers or $XDG_DATA_HOME/orka/drivers: sx4voice.vma and sx4voice.adp
    static std::filesystem::path driversDir();
    // $ORKA_HOME/RingLog.log or $XDG_STATE_HOME/orka/RingLog.log
    static std::filesystem::path ringLogFile();
    // $ORKA_HOME/irda or $XDG_RUNTIME_DIR/orka/irda: the virtual IrDA bus
    static std::filesystem::path irdaDir();
    // $ORKA_HOME/mail or $XDG_CACHE_HOME/orka/mail: files attached to e-mails
    static std::filesystem::path mailDir();

    // The four roots (created on demand by callers that write).
    static std::filesystem::path configRoot();
    static std::filesystem::path dataRoot();
    static std::filesystem::path stateRoot();
    static std::filesystem::path runtimeRoot();
    static std::filesystem::path cacheRoot();
};

// Writes a file in pieces, all or nothing: the bytes go to a file without a name in the
// target's folder (or, where the file system cannot make one, a hidden temporary file
// beside the target) and take the target's name only on commit(). Until then an old file of
// that name is untouched; a writer destroyed without commit(), a failed write or a killed
// process leaves no trace of the new one. The folder must exist.
//
// Not thread-safe: one thread writes.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::filesystem::path target);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // False once anything has failed; every later call then does nothing and fails.
    bool ok() const { return error_.empty(); }
    // Why the first failure happened ("No space left on device"), empty while ok().
    const std::string& error() const { return error_; }

    // Appends bytes at the end of what has been written.
    bool write(const void* data, std::size_t size);
    // Overwrites bytes already written (a header patched once the length is known).
    bool writeAt(std::uint64_t offset, const void* data, std::size_t size);
    // Flushes to the disk and puts the file in place of the target; false (and no new file)
    // on failure.
    bool commit();
    // Drops what has been written; the target stays as it was.
    void discard();

private:
    bool flush();
    bool fail();
    void closeAndForget();

    std::filesystem::path target_;
    std::string namedTemp_; // set when the fallback made a named temporary file
    int fd_ = -1;
    std::string buffer_;
    std::string error_;
};

// Writes a whole file through AtomicFileWriter, making its folder first when needed, so a
// crash or a full disk never leaves a half file in place of a good one. Returns false on any
// failure, with the reason in *why when given.
bool writeFileAtomically(const std::filesystem::path& file, const void* data, std::size_t size,
                         std::string* why = nullptr);

} // namespace orka::platform
