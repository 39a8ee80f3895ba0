#pragma once
// The library's single application object: the command set, the open link, the serial
// settings and the last error.
#include "GalleryProtocol.h"
#include "IrdaChannel.h"
#include "QXCommFile.h"

#include "orka/platform/SerialPort.h"

#include <memory>
#include <string>

namespace orka::engine {

class CEngineApp {
public:
    static CEngineApp& instance();

    bool InitPhone();
    void SetSerialSettings(const platform::DCB& dcb) { serial_ = dcb; }
    const platform::DCB& serialSettings() const { return serial_; }
    bool Open(int port);
    bool Close();
    const char* LastErrorMessage();
    CGalleryProtocol* protocol() const { return protocol_.get(); }
    int phoneModel() const { return phoneModel_; }

    // Stores a failure text (code -5).
    void SetLastError(const std::string& text);

    static platform::DCB defaultSerialSettings();

private:
    CEngineApp();
    void closeLinks();
    void bindLinks();

    std::unique_ptr<CGalleryProtocol> protocol_;
    std::unique_ptr<CQXCommFile> cable_;
    std::unique_ptr<CIrdaChannel> infrared_;
    int phoneModel_ = 0;
    std::string lastErrorText_;
    int lastErrorCode_ = 0;
    std::string lastErrorMessage_; // what PIOGetLastErrMsg hands out
    platform::DCB serial_;
};

} // namespace orka::engine
