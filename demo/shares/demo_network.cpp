#include "demo_network.h"

#include "common/unique_handle.h"
#include "simulated_network_config.h"

namespace kxdemo {

namespace {

std::wstring HostKeyPath(const std::wstring& host)
{
    return std::wstring(kxsim::NetworkHostsKey) + L"\\" + host;
}

std::wstring DriveTablePath()
{
    wchar_t table[128] = {};
    const DWORD length = ::GetEnvironmentVariableW(kxsim::DriveTableVariable, table, ARRAYSIZE(table));
    return std::wstring(kxsim::NetworkDrivesKey) + L"\\" +
           ((length == 0 || length >= ARRAYSIZE(table)) ? kxsim::DefaultDriveTable : table);
}

} // namespace

void ConfigureHost(const std::wstring& host, const std::vector<std::wstring>& shares)
{
    RemoveHost(host);
    kx::unique_hkey key;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, HostKeyPath(host).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                      nullptr);
    std::wstring block;
    for (const auto& share : shares) {
        block += share;
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    ::RegSetValueExW(key.get(), kxsim::HostEntriesValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(block.data()),
                     static_cast<DWORD>(block.size() * sizeof(wchar_t)));
}

void RemoveHost(const std::wstring& host)
{
    ::RegDeleteTreeW(HKEY_CURRENT_USER, HostKeyPath(host).c_str());
}

std::wstring LettersInUse()
{
    kx::unique_hkey table;
    std::wstring letters;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, DriveTablePath().c_str(), 0, KEY_ENUMERATE_SUB_KEYS, table.put()) !=
        ERROR_SUCCESS) {
        return letters;
    }
    wchar_t name[16];
    for (DWORD index = 0;; ++index) {
        DWORD length = ARRAYSIZE(name);
        if (::RegEnumKeyExW(table.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return letters;
        }
        letters.push_back(name[0]);
    }
}

bool StandInMprLoaded()
{
    HMODULE mpr = ::GetModuleHandleW(L"mpr.dll");
    return mpr != nullptr && ::GetProcAddress(mpr, "SimMprOpenEnumerations") != nullptr;
}

} // namespace kxdemo
