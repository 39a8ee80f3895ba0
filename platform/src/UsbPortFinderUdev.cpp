// The system's tty devices with a USB parent, through libudev.
#include "orka/platform/UsbPortFinder.h"

#include <cstdlib>
#include <libudev.h>

namespace orka::platform {
namespace {

std::uint16_t hexAttribute(udev_device* device, const char* name)
{
    const char* text = udev_device_get_sysattr_value(device, name);
    return text ? static_cast<std::uint16_t>(std::strtoul(text, nullptr, 16)) : 0;
}

class UdevDeviceSource : public UsbDeviceSource {
public:
    explicit UdevDeviceSource(udev* u) : udev_(u) {}
    ~UdevDeviceSource() override { udev_unref(udev_); }
    UdevDeviceSource(const UdevDeviceSource&) = delete;
    UdevDeviceSource& operator=(const UdevDeviceSource&) = delete;

    std::vector<UsbTtyDevice> ttyDevices() override
    {
        std::vector<UsbTtyDevice> found;
        udev_enumerate* e = udev_enumerate_new(udev_);
        if (!e)
            return found;
        udev_enumerate_add_match_subsystem(e, "tty");
        udev_enumerate_scan_devices(e);
        udev_list_entry* entry;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
        {
            udev_device* tty = udev_device_new_from_syspath(udev_, udev_list_entry_get_name(entry));
            if (!tty)
                continue;
            // The parent belongs to the tty device and is released with it.
            udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
            const char* node = udev_device_get_devnode(tty);
            if (usb && node)
                found.push_back({node, hexAttribute(usb, "idVendor"), hexAttribute(usb, "idProduct")});
            udev_device_unref(tty);
        }
        udev_enumerate_unref(e);
        return found;
    }

private:
    udev* udev_;
};

} // namespace

std::unique_ptr<UsbDeviceSource> createUdevDeviceSource()
{
    udev* u = udev_new();
    if (!u)
        return nullptr;
    return std::make_unique<UdevDeviceSource>(u);
}

} // namespace orka::platform
