#pragma once
// The handset's seven vendor gallery commands on top of the AT exchange.
#include "AtProtocol.h"

#include <string>

namespace orka::engine {

class CGalleryProtocol : public CAtProtocol {
public:
    PIOResult* FeatureRead(int device, int type, int kind);
    PIOResult* IndexRead(int device, int type, int listSelector, int kind);
    PIOResult* DataRead(int device, int type, int index, int part, int kind);
    PIOResult* DataWrite(int device, int type, int index, int part, const std::string& hexText, int kind);
    PIOResult* DataDelete(int device, int type, int index, int part, int kind);
    PIOResult* DataPreview(int device, int type, int part, const std::string& hexText, int kind);
    PIOResult* MemoryQuery(int device, int type, int a, int b, int kind);
    // A name write when hexText is not empty, else a name read.
    PIOResult* Name(int device, int type, int index, const std::string& hexText, int kind);

    // Response time limits in milliseconds for the active link.
    std::uint32_t dataReadTimeout(int type) const;
    // Hex characters a write block carries on the active link.
    std::size_t writeBlockSize() const;
    static constexpr std::size_t kPreviewBlockSize = 200;

protected:
    void* ParseResult(int commandId, const std::string& commandLine, int kind, const std::vector<std::string>& lines,
                      int& ok, int& error, ResultData& dataKind) override;

private:
    bool infrared() const;
    void setTimeout(std::uint32_t cableMs, std::uint32_t infraredMs);
    PIOResult* run(const char* command, int commandId, int device, int kind, const CAtValueList& args);
    PIOResult* transferBlocks(const char* command, int commandId, int device, int kind, const std::string& hexText,
                              std::size_t blockSize, const CAtValueList& leading, bool withLength);
};

} // namespace orka::engine
