#include "network_model.h"

#include "simulated_network_config.h"

#include <cwchar>

namespace kxsim {

namespace {

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey()
    {
        if (key_ != nullptr) {
            ::RegCloseKey(key_);
        }
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY* put() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

std::wstring HostKeyPath(const std::wstring& host)
{
    return std::wstring(NetworkHostsKey) + L"\\" + host;
}

DWORD ReadNumber(HKEY key, const wchar_t* name, DWORD fallback)
{
    DWORD value = 0;
    DWORD bytes = sizeof(value);
    DWORD type = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) != ERROR_SUCCESS ||
        type != REG_DWORD) {
        return fallback;
    }
    return value;
}

std::vector<std::wstring> ReadLines(HKEY key, const wchar_t* name)
{
    DWORD bytes = 0;
    if (::RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &bytes) != ERROR_SUCCESS || bytes == 0) {
        return {};
    }
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 2, L'\0');
    ::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &bytes);
    std::vector<std::wstring> lines;
    for (const wchar_t* line = text.data(); *line != L'\0'; line += lines.back().size() + 1) {
        lines.emplace_back(line);
    }
    return lines;
}

SimulatedEntry ParseEntry(const std::wstring& host, const std::wstring& line)
{
    SimulatedEntry entry;
    if (line.empty() || line[0] != EntryRawMarker) {
        entry.remoteName = L"\\\\" + host + L"\\" + line;
        return entry;
    }
    const std::size_t secondMarker = line.find(EntryRawMarker, 1);
    entry.displayType = static_cast<DWORD>(std::wcstoul(line.c_str() + 1, nullptr, 10));
    entry.remoteNameIsNull = secondMarker == std::wstring::npos;
    if (!entry.remoteNameIsNull) {
        entry.remoteName = line.substr(secondMarker + 1);
    }
    return entry;
}

std::wstring DriveTablePath()
{
    wchar_t table[128] = {};
    const DWORD length = ::GetEnvironmentVariableW(DriveTableVariable, table, ARRAYSIZE(table));
    const std::wstring name = (length == 0 || length >= ARRAYSIZE(table)) ? DefaultDriveTable : table;
    return std::wstring(NetworkDrivesKey) + L"\\" + name;
}

} // namespace

bool ReadSimulatedHost(const std::wstring& host, SimulatedHost* configuration)
{
    RegistryKey key;
    if (host.empty() ||
        ::RegOpenKeyExW(HKEY_CURRENT_USER, HostKeyPath(host).c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    for (const auto& line : ReadLines(key.get(), HostEntriesValue)) {
        configuration->entries.push_back(ParseEntry(host, line));
    }
    configuration->batchSize = ReadNumber(key.get(), HostBatchSizeValue, 0);
    configuration->openError = ReadNumber(key.get(), HostOpenErrorValue, NO_ERROR);
    configuration->failingBatch = ReadNumber(key.get(), HostFailingBatchValue, 0);
    configuration->batchError = ReadNumber(key.get(), HostBatchErrorValue, NO_ERROR);
    configuration->closeError = ReadNumber(key.get(), HostCloseErrorValue, NO_ERROR);
    return true;
}

DWORD ReadRefusal(const std::wstring& host, const std::wstring& share)
{
    RegistryKey key;
    const std::wstring path = HostKeyPath(host) + L"\\" + NetworkRefusalsSubkey;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return NO_ERROR;
    }
    return ReadNumber(key.get(), share.c_str(), NO_ERROR);
}

bool ClaimDriveLetter(wchar_t letter, const std::wstring& remoteName)
{
    const std::wstring path = DriveTablePath() + L"\\" + std::wstring(1, letter);
    RegistryKey key;
    DWORD disposition = 0;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                          &disposition) != ERROR_SUCCESS ||
        disposition != REG_CREATED_NEW_KEY) {
        return false;
    }
    ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(remoteName.c_str()),
                     static_cast<DWORD>((remoteName.size() + 1) * sizeof(wchar_t)));
    return true;
}

bool SplitShareName(const wchar_t* remoteName, std::wstring* host, std::wstring* share)
{
    if (remoteName == nullptr || remoteName[0] != L'\\' || remoteName[1] != L'\\') {
        return false;
    }
    const std::wstring text(remoteName + 2);
    const std::size_t separator = text.find(L'\\');
    if (separator == 0 || separator == std::wstring::npos || separator + 1 == text.size() ||
        text.find(L'\\', separator + 1) != std::wstring::npos) {
        return false;
    }
    *host = text.substr(0, separator);
    *share = text.substr(separator + 1);
    return true;
}

} // namespace kxsim
