#include "EngineApp.h"
#include "EngineStrings.h"
#include "LinkException.h"

#include <cstdio>
#include <new>

namespace orka::engine {
using namespace orka::platform;

namespace {
constexpr std::size_t kMaxOpenErrorText = 1024;
}

CEngineApp& CEngineApp::instance()
{
    static CEngineApp app;
    return app;
}

DCB CEngineApp::defaultSerialSettings()
{
    DCB d{};
    d.DCBlength = sizeof(DCB);
    d.BaudRate = 115200;
    d.ByteSize = 8;
    d.Parity = NOPARITY;
    d.StopBits = ONESTOPBIT;
    d.fBinary = 1;
    d.fParity = 1;
    d.fDtrControl = DTR_CONTROL_HANDSHAKE;
    d.fTXContinueOnXoff = 1;
    d.fRtsControl = RTS_CONTROL_HANDSHAKE;
    return d;
}

CEngineApp::CEngineApp() : serial_(defaultSerialSettings()) {}

void CEngineApp::SetLastError(const std::string& text)
{
    lastErrorText_ = text;
    lastErrorCode_ = -5;
}

bool CEngineApp::InitPhone()
{
    protocol_.reset();
    try {
        protocol_ = std::make_unique<CGalleryProtocol>();
    } catch (const std::bad_alloc&) {
        phoneModel_ = -1;
        SetLastError(engineString(kStrOutOfMemory));
        return false;
    }
    protocol_->setLinkFailureHook([this](const std::string& text) { SetLastError(text); });
    phoneModel_ = 2;
    bindLinks();
    return true;
}

void CEngineApp::bindLinks()
{
    if (protocol_)
        protocol_->setLinks(LinkSet{cable_.get(), infrared_.get()});
}

void CEngineApp::closeLinks()
{
    if (infrared_) {
        infrared_->Close();
        infrared_.reset();
    }
    if (cable_) {
        cable_->Close();
        cable_.reset();
    }
    bindLinks();
}

bool CEngineApp::Open(int port)
{
    closeLinks();
    try {
        if (port == PIO_PORT_IRDA || port == PIO_PORT_IRDA_ALT) {
            infrared_ = std::make_unique<CIrdaChannel>();
            bindLinks();
            infrared_->Open(); // a failed open leaves the unconnected channel in place
        } else {
            auto cable = std::make_unique<CQXCommFile>(port);
            cable->Open();
            try {
                cable->LoadPortState();
                cable->TakeSettings(serial_);
                cable->ApplyPortSettings();
            } catch (...) {
                cable->Close();
                throw;
            }
            cable_ = std::move(cable);
            bindLinks();
        }
        return true;
    } catch (const CLinkException& e) {
        SetLastError(truncateUtf8(e.errorMessage(), kMaxOpenErrorText));
    } catch (const CFileException& e) {
        SetLastError(truncateUtf8(e.what(), kMaxOpenErrorText));
    } catch (const std::bad_alloc&) {
        SetLastError(engineString(kStrOutOfMemory));
    }
    bindLinks();
    return false;
}

bool CEngineApp::Close()
{
    try {
        closeLinks();
        return true;
    } catch (const CLinkException& e) {
        SetLastError(e.errorMessage());
        return false;
    }
}

const char* CEngineApp::LastErrorMessage()
{
    if (lastErrorCode_ == -5 || lastErrorCode_ == -1) {
        lastErrorMessage_ = lastErrorText_;
    } else {
        const unsigned id = static_cast<unsigned>(25000 + lastErrorCode_);
        if (hasEngineString(id)) {
            char code[32];
            std::snprintf(code, sizeof code, " (%d)", lastErrorCode_);
            lastErrorMessage_ = engineString(id) + code;
        } else {
            lastErrorMessage_ = engineString(kStrGeneralHandsetError);
        }
    }
    return lastErrorMessage_.c_str();
}

} // namespace orka::engine
