#include "simulated_network.h"

#include "common/unique_handle.h"
#include "test_environment.h"

namespace kxtest {

namespace {

std::wstring HostKeyPath(const std::wstring& name)
{
    return std::wstring(kxsim::NetworkHostsKey) + L"\\" + name;
}

std::wstring DriveTablePath(const std::wstring& table)
{
    return std::wstring(kxsim::NetworkDrivesKey) + L"\\" + table;
}

kx::unique_hkey CreateKey(const std::wstring& path)
{
    kx::unique_hkey key;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
    return key;
}

void WriteLines(HKEY key, const wchar_t* valueName, const std::vector<std::wstring>& lines)
{
    std::wstring block;
    for (const auto& line : lines) {
        block += line;
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    ::RegSetValueExW(key, valueName, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(block.data()),
                     static_cast<DWORD>(block.size() * sizeof(wchar_t)));
}

void WriteNumber(const std::wstring& path, const wchar_t* valueName, DWORD number)
{
    ::RegSetValueExW(CreateKey(path).get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                     sizeof(number));
}

FARPROC StandInExport(const char* name)
{
    HMODULE mpr = ::GetModuleHandleW(L"mpr.dll");
    return mpr == nullptr ? nullptr : ::GetProcAddress(mpr, name);
}

} // namespace

SimulatedShareHost::SimulatedShareHost(const std::vector<std::wstring>& entries)
    : SimulatedShareHost(UniqueName(L"kxnas-"), entries)
{
}

SimulatedShareHost::SimulatedShareHost(std::wstring name, const std::vector<std::wstring>& entries)
    : name_(std::move(name))
{
    WriteLines(CreateKey(HostKeyPath(name_)).get(), kxsim::HostEntriesValue, entries);
}

SimulatedShareHost::~SimulatedShareHost()
{
    ::RegDeleteTreeW(HKEY_CURRENT_USER, HostKeyPath(name_).c_str());
}

void SimulatedShareHost::SetNumber(const wchar_t* valueName, DWORD number)
{
    WriteNumber(HostKeyPath(name_), valueName, number);
}

void SimulatedShareHost::FailBatch(DWORD batch, DWORD error)
{
    SetNumber(kxsim::HostFailingBatchValue, batch);
    SetNumber(kxsim::HostBatchErrorValue, error);
}

void SimulatedShareHost::Refuse(const std::wstring& share, DWORD error)
{
    WriteNumber(HostKeyPath(name_) + L"\\" + kxsim::NetworkRefusalsSubkey, share.c_str(), error);
}

SimulatedNetworkSession::SimulatedNetworkSession()
    : logPath_(WorkDirectory() + L"\\" + UniqueName(L"mpr-calls-") + L".log"), driveTable_(UniqueName(L"drives-"))
{
    ::SetEnvironmentVariableW(kxsim::CallLogVariable, logPath_.c_str());
    ::SetEnvironmentVariableW(kxsim::DriveTableVariable, driveTable_.c_str());
}

SimulatedNetworkSession::~SimulatedNetworkSession()
{
    ::SetEnvironmentVariableW(kxsim::CallLogVariable, nullptr);
    ::SetEnvironmentVariableW(kxsim::DriveTableVariable, nullptr);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, DriveTablePath(driveTable_).c_str());
    ::DeleteFileW(logPath_.c_str());
}

std::vector<std::string> SimulatedNetworkSession::Calls() const
{
    std::vector<std::string> lines;
    const std::string text = ReadFileText(logPath_);
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

void SimulatedNetworkSession::MakeLettersBusy(const std::wstring& letters)
{
    for (const wchar_t letter : letters) {
        CreateKey(DriveTablePath(driveTable_) + L"\\" + std::wstring(1, letter));
    }
}

std::wstring SimulatedNetworkSession::DriveConnection(wchar_t letter) const
{
    const std::wstring path = DriveTablePath(driveTable_) + L"\\" + std::wstring(1, letter);
    wchar_t remoteName[1024] = {};
    DWORD bytes = sizeof(remoteName) - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, remoteName, &bytes) !=
        ERROR_SUCCESS) {
        return {};
    }
    return remoteName;
}

bool StandInMprLoaded()
{
    return StandInExport("SimMprOpenEnumerations") != nullptr;
}

LONG StandInOpenEnumerations()
{
    auto count = reinterpret_cast<LONG(WINAPI*)()>(reinterpret_cast<void*>(StandInExport("SimMprOpenEnumerations")));
    return count == nullptr ? -1 : count();
}

} // namespace kxtest
