#pragma once

#include <windows.h>
#include <setupapi.h>

#include <string>
#include <vector>

namespace kxdemo {

// One SetupAPI device information list, destroyed with its owner.
class DeviceList {
public:
    explicit DeviceList(HDEVINFO devices) noexcept : devices_(devices) {}
    ~DeviceList();
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    bool Valid() const noexcept { return devices_ != INVALID_HANDLE_VALUE; }
    HDEVINFO Get() const noexcept { return devices_; }

private:
    HDEVINFO devices_;
};

// A text property of a device node (SPDRP_*), one entry per string of a REG_MULTI_SZ; empty
// when the node has no such property.
std::vector<std::wstring> DeviceTexts(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property);
std::wstring DeviceInstanceId(HDEVINFO devices, SP_DEVINFO_DATA& device);
// The CoInstallers32 entries of the node's driver key; empty without a driver key.
std::vector<std::wstring> DriverKeyCoInstallers(HDEVINFO devices, SP_DEVINFO_DATA& device);

// Calls visit(devices, device) for each device node of the machine, of every class, whose
// hardware ids include hardwareId (compared as the framework compares them: case-sensitively),
// until visit returns false.
template <typename Visit>
void ForEachDevice(const std::wstring& hardwareId, Visit visit)
{
    const DeviceList devices(::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; devices.Valid() && ::SetupDiEnumDeviceInfo(devices.Get(), index, &device); ++index) {
        for (const std::wstring& id : DeviceTexts(devices.Get(), device, SPDRP_HARDWAREID)) {
            if (id == hardwareId && !visit(devices.Get(), device)) {
                return;
            }
        }
    }
}

// The instance ids of the device nodes with the hardware id.
std::vector<std::wstring> FindDevices(const std::wstring& hardwareId);

// A root-enumerated device node of the INF's setup class with the given hardware id,
// registered with the framework as a PnP enumerator would report a new device. Returns its
// instance id, or "" with the reason in error.
std::wstring CreateRootDevice(const std::wstring& infPath, const std::wstring& hardwareId, std::wstring& error);

} // namespace kxdemo
