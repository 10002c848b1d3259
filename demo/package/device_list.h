#pragma once

#include <windows.h>
#include <setupapi.h>

#include "common/unique_handle.h"

#include <string>
#include <vector>

namespace kxdemo {

using DeviceList = kx::unique_any<kx::invalid_value_traits<HDEVINFO, &::SetupDiDestroyDeviceInfoList>>;
using InfFile = kx::unique_any<kx::invalid_value_traits<HINF, &::SetupCloseInfFile>>;
using DeviceRegistryKey = kx::unique_any<kx::invalid_value_traits<HKEY, &::RegCloseKey>>;
using FileSearch = kx::unique_any<kx::invalid_value_traits<HANDLE, &::FindClose>>;

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
    for (DWORD index = 0; devices && ::SetupDiEnumDeviceInfo(devices.get(), index, &device); ++index) {
        for (const std::wstring& id : DeviceTexts(devices.get(), device, SPDRP_HARDWAREID)) {
            if (id == hardwareId && !visit(devices.get(), device)) {
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
