#include "device_list.h"

#include <cfgmgr32.h>

namespace kxdemo {

namespace {

// The strings of a REG_MULTI_SZ (or the one string of a REG_SZ) held in buffer.
std::vector<std::wstring> SplitMultiString(const std::vector<wchar_t>& buffer)
{
    std::vector<std::wstring> texts;
    for (size_t start = 0; start < buffer.size() && buffer[start] != L'\0';) {
        size_t end = start;
        while (end < buffer.size() && buffer[end] != L'\0') {
            ++end;
        }
        texts.emplace_back(buffer.data() + start, end - start);
        start = end + 1;
    }
    return texts;
}

std::wstring SystemError(const wchar_t* call)
{
    return std::wstring(call) + L" failed with error " + std::to_wstring(::GetLastError());
}

} // namespace

std::vector<std::wstring> DeviceTexts(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property)
{
    DWORD bytes = 0;
    ::SetupDiGetDeviceRegistryPropertyW(devices, &device, property, nullptr, nullptr, 0, &bytes);
    if (bytes == 0) {
        return {};
    }
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 2, L'\0');
    if (!::SetupDiGetDeviceRegistryPropertyW(devices, &device, property, nullptr,
                                             reinterpret_cast<BYTE*>(buffer.data()), bytes, nullptr)) {
        return {};
    }
    return SplitMultiString(buffer);
}

std::wstring DeviceInstanceId(HDEVINFO devices, SP_DEVINFO_DATA& device)
{
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    return ::SetupDiGetDeviceInstanceIdW(devices, &device, id, MAX_DEVICE_ID_LEN + 1, nullptr) ? id : L"";
}

std::vector<std::wstring> DriverKeyCoInstallers(HDEVINFO devices, SP_DEVINFO_DATA& device)
{
    const DeviceRegistryKey driverKey(
        ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ));
    if (!driverKey) {
        return {};
    }
    DWORD bytes = 0;
    ::RegQueryValueExW(driverKey.get(), L"CoInstallers32", nullptr, nullptr, nullptr, &bytes);
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 2, L'\0');
    const bool read = bytes != 0 && ::RegQueryValueExW(driverKey.get(), L"CoInstallers32", nullptr, nullptr,
                                                       reinterpret_cast<BYTE*>(buffer.data()), &bytes) == ERROR_SUCCESS;
    return read ? SplitMultiString(buffer) : std::vector<std::wstring>{};
}

std::vector<std::wstring> FindDevices(const std::wstring& hardwareId)
{
    std::vector<std::wstring> found;
    ForEachDevice(hardwareId, [&found](HDEVINFO devices, SP_DEVINFO_DATA& device) {
        found.push_back(DeviceInstanceId(devices, device));
        return true;
    });
    return found;
}

std::wstring CreateRootDevice(const std::wstring& infPath, const std::wstring& hardwareId, std::wstring& error)
{
    GUID setupClass = {};
    wchar_t className[MAX_CLASS_NAME_LEN] = {};
    if (!::SetupDiGetINFClassW(infPath.c_str(), &setupClass, className, MAX_CLASS_NAME_LEN, nullptr)) {
        error = SystemError(L"SetupDiGetINFClassW");
        return L"";
    }
    const DeviceList devices(::SetupDiCreateDeviceInfoList(&setupClass, nullptr));
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    if (!devices || !::SetupDiCreateDeviceInfoW(devices.get(), className, &setupClass, nullptr, nullptr,
                                                DICD_GENERATE_ID, &device)) {
        error = SystemError(L"SetupDiCreateDeviceInfoW");
        return L"";
    }
    // A REG_MULTI_SZ: the id, its terminator and the list's terminator.
    const std::wstring ids = hardwareId + L'\0';
    if (!::SetupDiSetDeviceRegistryPropertyW(devices.get(), &device, SPDRP_HARDWAREID,
                                             reinterpret_cast<const BYTE*>(ids.c_str()),
                                             static_cast<DWORD>((ids.size() + 1) * sizeof(wchar_t)))) {
        error = SystemError(L"SetupDiSetDeviceRegistryPropertyW");
        return L"";
    }
    if (!::SetupDiCallClassInstaller(DIF_REGISTERDEVICE, devices.get(), &device)) {
        error = SystemError(L"SetupDiCallClassInstaller(DIF_REGISTERDEVICE)");
        return L"";
    }
    return DeviceInstanceId(devices.get(), device);
}

} // namespace kxdemo
