// The link bookkeeping of the cable's ports; the device list comes from a UsbDeviceSource
// (UsbPortFinderUdev.cpp for the system's).
#include "orka/platform/UsbPortFinder.h"

#include "orka/platform/StatePaths.h"

#include <set>

namespace orka::platform {
namespace fs = std::filesystem;

namespace {

fs::path linkFor(int n) { return StatePaths::dosDevicesDir() / ("com" + std::to_string(n)); }

// The port whose link already leads to the device, or 0.
int existingLink(const fs::path& device)
{
    std::error_code ec;
    for (int n = 1; n <= UsbPortFinder::kLastPort; ++n) {
        const fs::path target = fs::read_symlink(linkFor(n), ec);
        if (!ec && target == device)
            return n;
    }
    return 0;
}

// An entry is free when it is missing, or a link whose device no longer exists.
bool isFree(int n)
{
    std::error_code ec;
    const fs::path link = linkFor(n);
    const auto status = fs::symlink_status(link, ec);
    if (!fs::exists(status))
        return true;
    return fs::is_symlink(status) && !fs::exists(link, ec);
}

int assignLink(const fs::path& device, const std::set<int>& taken)
{
    std::error_code ec;
    for (int n = UsbPortFinder::kFirstCablePort; n <= UsbPortFinder::kLastPort; ++n) {
        if (taken.count(n) || !isFree(n))
            continue;
        fs::remove(linkFor(n), ec);
        fs::create_symlink(device, linkFor(n), ec);
        return ec ? 0 : n;
    }
    return 0;
}

class ListedDeviceSource : public UsbDeviceSource {
public:
    explicit ListedDeviceSource(std::vector<UsbTtyDevice> devices) : devices_(std::move(devices)) {}
    std::vector<UsbTtyDevice> ttyDevices() override { return devices_; }

private:
    std::vector<UsbTtyDevice> devices_;
};

} // namespace

std::unique_ptr<UsbDeviceSource> createListedDeviceSource(std::vector<UsbTtyDevice> devices)
{
    return std::make_unique<ListedDeviceSource>(std::move(devices));
}

UsbPortFinder::UsbPortFinder(std::unique_ptr<UsbDeviceSource> source) : source_(std::move(source)) {}

std::vector<UsbPort> UsbPortFinder::find()
{
    std::vector<UsbPort> ports;
    if (!source_)
        return ports;
    std::error_code ec;
    fs::create_directories(StatePaths::dosDevicesDir(), ec);
    std::set<int> taken;
    for (const UsbTtyDevice& d : source_->ttyDevices()) {
        if (d.vendorId != kCableVendor || d.productId != kCableProduct)
            continue;
        int n = existingLink(d.devicePath);
        if (n == 0 || taken.count(n))
            n = assignLink(d.devicePath, taken);
        if (n == 0)
            continue;
        taken.insert(n);
        ports.push_back({"COM" + std::to_string(n), n, d.devicePath});
    }
    return ports;
}

} // namespace orka::platform
