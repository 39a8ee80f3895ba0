#pragma once
// Finds the serial ports of the handset's USB cable. Each tty device whose USB parent is the
// cable (vendor 5a17, product 00b3) gets a com<n> link in the dosdevices folder (the one it
// had, else the lowest free n from 33) and is offered as "COM<n>", which the serial port
// layer then opens like any numbered port.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace orka::platform {

// A tty device as the system lists it, with the identity of its USB parent.
struct UsbTtyDevice {
    std::filesystem::path devicePath; // "/dev/ttyACM0"
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

// Where the devices come from: the system's device manager, or a list given by a test.
class UsbDeviceSource {
public:
    virtual ~UsbDeviceSource() = default;
    // Every tty device with a USB parent, in the system's order.
    virtual std::vector<UsbTtyDevice> ttyDevices() = 0;
};

// libudev; nullptr when the device manager cannot be reached.
std::unique_ptr<UsbDeviceSource> createUdevDeviceSource();
// A fixed list, for machines without the hardware (tests, simulators).
std::unique_ptr<UsbDeviceSource> createListedDeviceSource(std::vector<UsbTtyDevice> devices);

struct UsbPort {
    std::string portName; // "COM33"
    int number = 0;       // 33
    std::filesystem::path devicePath;
};

class UsbPortFinder {
public:
    static constexpr std::uint16_t kCableVendor = 0x5A17;
    static constexpr std::uint16_t kCableProduct = 0x00B3;
    static constexpr int kFirstCablePort = 33;
    static constexpr int kLastPort = 256;

    // Without a source, the system's device manager is asked.
    explicit UsbPortFinder(std::unique_ptr<UsbDeviceSource> source = createUdevDeviceSource());

    // The cable's ports in the system's order, each with its link in place. A link whose
    // device is gone counts as free. Nothing when there is no cable or no device manager.
    std::vector<UsbPort> find();

private:
    std::unique_ptr<UsbDeviceSource> source_;
};

} // namespace orka::platform
