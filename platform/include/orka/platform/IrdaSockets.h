#pragma once
// IrDA stream sockets on a virtual bus. Each device in range is a listening Unix stream
// socket <bus>/<name>.sock with its information-service attributes in <bus>/<name>.ias
// (one per line: CLASS, tab, ATTRIBUTE, tab, TYPE, tab, VALUE; TYPE is octets (hex),
// int or string). A connection carries the IrCOMM byte stream unchanged.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orka::platform {

struct IrdaDevice {
    std::uint32_t deviceId = 0;
    std::string name;
};

// Attribute types as the information service reports them.
enum class IasType : std::uint32_t { NoAttribute = 0, Integer = 1, OctetSeq = 2, UserString = 3 };

struct IasAttribute {
    IasType type = IasType::NoAttribute;
    std::int32_t integer = 0;
    std::vector<std::uint8_t> octets;
    std::string text;
};

class IrdaSocket {
public:
    IrdaSocket() = default;
    ~IrdaSocket();
    IrdaSocket(const IrdaSocket&) = delete;
    IrdaSocket& operator=(const IrdaSocket&) = delete;

    // Each returns 0, or a system error number.
    int create();
    int enumerateDevices(std::vector<IrdaDevice>& devices);
    int queryIas(std::uint32_t deviceId, const std::string& className, const std::string& attribute, IasAttribute& out);
    int setNineWireMode(bool on);
    int connect(std::uint32_t deviceId, const std::string& serviceName);
    // Blocking; returns the byte count, 0 when the peer closed, -1 on an error (see lastError()).
    long recv(void* buffer, std::size_t size);
    long send(const void* buffer, std::size_t size);
    // Wakes a thread blocked in recv (it returns 0) without releasing the socket.
    void shutdown();
    void close();
    bool isValid() const { return fd_ >= 0; }
    bool nineWire() const { return nineWire_; }
    int lastError() const { return lastError_; }

    // The operating system's text for an error number.
    static std::string errorText(int error);
    // The bus folder (StatePaths::irdaDir()).
    static std::filesystem::path busDir();
    // Stable id of a device name.
    static std::uint32_t deviceIdFor(const std::string& name);
    // Parses one .ias file's text; attributes not found give NoAttribute.
    static IasAttribute findAttribute(const std::string& iasText, const std::string& className, const std::string& attribute);
    static bool hasClass(const std::string& iasText, const std::string& className);

private:
    bool deviceName(std::uint32_t deviceId, std::string& name);

    int fd_ = -1;
    int lastError_ = 0;
    bool nineWire_ = false;
    bool created_ = false;
};

} // namespace orka::platform
