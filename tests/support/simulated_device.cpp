#include "simulated_device.h"

#include "common/unique_handle.h"
#include "test_environment.h"

namespace kxtest {

namespace {

std::wstring DeviceKeyPath(const std::wstring& udn)
{
    return std::wstring(kxsim::UpnpDevicesKey) + L"\\" + udn;
}

void SetText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

} // namespace

SimulatedUpnpDevice::SimulatedUpnpDevice(std::wstring udn, const std::wstring& descriptionUrl, const wchar_t* behaviour)
    : udn_(std::move(udn))
{
    kx::unique_hkey key;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, DeviceKeyPath(udn_).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                      nullptr);
    SetText(key.get(), kxsim::UpnpDescriptionUrlValue, descriptionUrl);
    SetText(key.get(), kxsim::UpnpBehaviourValue, behaviour);
}

SimulatedUpnpDevice::~SimulatedUpnpDevice()
{
    ::RegDeleteKeyW(HKEY_CURRENT_USER, DeviceKeyPath(udn_).c_str());
}

SimulatedNas::SimulatedNas(const std::vector<std::wstring>& shares) : SimulatedNas(UniqueName(L"kxnas-"), shares) {}

SimulatedNas::SimulatedNas(std::wstring hostName, const std::vector<std::wstring>& shares)
    : host_(std::move(hostName), shares), device_(NewUdn(), L"http://" + host_.Name() + L":5000/rootDesc.xml")
{
}

void SimulatedNas::FailEnumerationLate()
{
    host_.SetNumber(kxsim::HostBatchSizeValue, 1);
    host_.FailBatch(2, ERROR_UNEXP_NET_ERR);
    host_.SetNumber(kxsim::HostCloseErrorValue, ERROR_BAD_NETPATH);
}

std::string SimulatedNas::CommandLine(const char* verb) const
{
    return std::string("KXBL_VNTRTZ71_2_2_0.dll,") + verb + " " + ToUtf8(device_.Udn());
}

std::wstring NewUdn()
{
    return UniqueName(L"uuid:kxsim-");
}

std::wstring Rundll32Command(const wchar_t* entry, const std::wstring& identity)
{
    return std::wstring(L"rundll32.exe KXBL_VNTRTZ71_2_2_0.dll,") + entry + L" " + identity;
}

kxsim::SimUpnpStatistics UpnpFinderStatistics()
{
    kxsim::SimUpnpStatistics statistics = {};
    HMODULE finder = ::GetModuleHandleW(L"kxsim_upnp.dll");
    if (finder != nullptr) {
        auto get = reinterpret_cast<kxsim::SimUpnpGetStatisticsFunction>(
            reinterpret_cast<void*>(::GetProcAddress(finder, "SimUpnpGetStatistics")));
        if (get != nullptr) {
            get(&statistics);
        }
    }
    return statistics;
}

} // namespace kxtest
