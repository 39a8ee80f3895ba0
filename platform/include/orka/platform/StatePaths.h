#pragma once
// Where Orka keeps its files. With ORKA_HOME set, everything lives directly under it;
// otherwise the XDG base directories decide (settings, data, state, runtime).
#include <filesystem>

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

    // The four roots (created on demand by callers that write).
    static std::filesystem::path configRoot();
    static std::filesystem::path dataRoot();
    static std::filesystem::path stateRoot();
    static std::filesystem::path runtimeRoot();
};

// Writes a file whole through a temporary file and a rename, so a crash or a full disk
// never leaves a half file in place of a good one. Returns false on any failure.
bool writeFileAtomically(const std::filesystem::path& file, const void* data, std::size_t size);

} // namespace orka::platform
