// The virtual IrDA bus: device listing and the information-service attribute file.
#include "orka/platform/IrdaSockets.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace orka::platform;
namespace fs = std::filesystem;

TEST(IasFile, AttributesOfEachType)
{
    const std::string ias = "# device Q5\n"
                            "Device\tDeviceName\tstring\tQ5\n"
                            "IrDA:IrCOMM\tParameters\toctets\t01010300010 4\n"
                            "IrDA:IrCOMM\tIrDA:TinyTP:LsapSel\tint\t7\r\n";
    auto name = IrdaSocket::findAttribute(ias, "Device", "DeviceName");
    EXPECT_EQ(name.type, IasType::UserString);
    EXPECT_EQ(name.text, "Q5");
    auto params = IrdaSocket::findAttribute(ias, "IrDA:IrCOMM", "Parameters");
    EXPECT_EQ(params.type, IasType::OctetSeq);
    // Decoding stops at the first character that is not hex.
    EXPECT_EQ(params.octets, (std::vector<std::uint8_t>{0x01, 0x01, 0x03, 0x00, 0x01}));
    auto lsap = IrdaSocket::findAttribute(ias, "IrDA:IrCOMM", "IrDA:TinyTP:LsapSel");
    EXPECT_EQ(lsap.type, IasType::Integer);
    EXPECT_EQ(lsap.integer, 7);
    EXPECT_EQ(IrdaSocket::findAttribute(ias, "IrDA:IrCOMM", "Nothing").type, IasType::NoAttribute);
    EXPECT_TRUE(IrdaSocket::hasClass(ias, "IrDA:IrCOMM"));
    EXPECT_FALSE(IrdaSocket::hasClass(ias, "IrLPT"));
}

TEST(IrdaBus, ListsDevicesThatHaveASocketAndAnAttributeFile)
{
    fs::path home = fs::temp_directory_path() / ("orka-irda-" + std::to_string(::getpid()));
    fs::create_directories(home / "irda");
    ::setenv("ORKA_HOME", home.c_str(), 1);

    IrdaSocket s;
    std::vector<IrdaDevice> devices;
    EXPECT_EQ(s.enumerateDevices(devices), ENOTSOCK); // not created yet
    ASSERT_EQ(s.create(), 0);
    ASSERT_EQ(s.enumerateDevices(devices), 0);
    EXPECT_TRUE(devices.empty());

    // A listening device, one without attributes, and a stray file.
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = (home / "irda" / "Phone.sock").string();
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(fd, 1), 0);
    std::ofstream(home / "irda" / "Phone.ias") << "IrDA:IrCOMM\tParameters\toctets\t000104\n";
    std::ofstream(home / "irda" / "Other.sock") << "not a socket";
    std::ofstream(home / "irda" / "Other.ias") << "";

    ASSERT_EQ(s.enumerateDevices(devices), 0);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].name, "Phone");
    IasAttribute a;
    ASSERT_EQ(s.queryIas(devices[0].deviceId, "IrDA:IrCOMM", "Parameters", a), 0);
    EXPECT_EQ(a.octets.size(), 3u);
    EXPECT_EQ(s.queryIas(12345, "IrDA:IrCOMM", "Parameters", a), EHOSTUNREACH);
    EXPECT_EQ(s.connect(devices[0].deviceId, "IrLPT"), ECONNREFUSED);
    ASSERT_EQ(s.connect(devices[0].deviceId, "IrDA:IrCOMM"), 0);
    int peer = ::accept(fd, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    EXPECT_EQ(s.send("AT\r", 3), 3);
    char buf[8] = {};
    EXPECT_EQ(::read(peer, buf, sizeof buf), 3);
    ::close(peer);
    EXPECT_EQ(s.recv(buf, sizeof buf), 0); // the device closed the link
    s.close();
    ::close(fd);
    fs::remove_all(home);
}
