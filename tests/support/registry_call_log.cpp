#include "registry_call_log.h"

namespace kxtest {

namespace {

struct PathFault {
    std::wstring path;
    LONG error;
};

struct LogState {
    std::vector<KeyCreation> creations;
    std::vector<PathFault> failingCreations;
    std::vector<PathFault> failingDeletions;
    bool denyClassesRoot = false;
    int calls = 0;
};
LogState g_log;

template <typename Function>
Function Real(const char* name)
{
    return RealFunction<Function>(L"advapi32.dll", name);
}

// The error a call on path below root is to fail with, or ERROR_SUCCESS.
LONG Fault(HKEY root, const wchar_t* path, const std::vector<PathFault>& faults)
{
    if (root != HKEY_CLASSES_ROOT) {
        return ERROR_SUCCESS;
    }
    if (g_log.denyClassesRoot) {
        return ERROR_ACCESS_DENIED;
    }
    for (const auto& fault : faults) {
        if (path != nullptr && ::lstrcmpiW(fault.path.c_str(), path) == 0) {
            return fault.error;
        }
    }
    return ERROR_SUCCESS;
}

LSTATUS WINAPI LoggedCreateKey(HKEY root, LPCWSTR path, DWORD reserved, LPWSTR className, DWORD options, REGSAM access,
                               LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition)
{
    ++g_log.calls;
    const std::wstring pathText = path != nullptr ? path : L"";
    g_log.creations.push_back(
        {root, pathText, reserved, className != nullptr, options, access, security != nullptr, disposition != nullptr});
    if (const LONG error = Fault(root, path, g_log.failingCreations); error != ERROR_SUCCESS) {
        return error;
    }
    return Real<decltype(&::RegCreateKeyExW)>("RegCreateKeyExW")(root, path, reserved, className, options, access,
                                                                 security, key, disposition);
}

LSTATUS WINAPI LoggedDeleteKey(HKEY root, LPCWSTR path)
{
    ++g_log.calls;
    if (const LONG error = Fault(root, path, g_log.failingDeletions); error != ERROR_SUCCESS) {
        return error;
    }
    return Real<decltype(&::RegDeleteKeyW)>("RegDeleteKeyW")(root, path);
}

LSTATUS WINAPI LoggedOpenKey(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key)
{
    ++g_log.calls;
    return Real<decltype(&::RegOpenKeyExW)>("RegOpenKeyExW")(root, path, options, access, key);
}

LSTATUS WINAPI LoggedSetValue(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    ++g_log.calls;
    return Real<decltype(&::RegSetValueExW)>("RegSetValueExW")(key, name, reserved, type, data, size);
}

LSTATUS WINAPI LoggedSetKeyValue(HKEY key, LPCWSTR subkey, LPCWSTR name, DWORD type, LPCVOID data, DWORD size)
{
    ++g_log.calls;
    return Real<decltype(&::RegSetKeyValueW)>("RegSetKeyValueW")(key, subkey, name, type, data, size);
}

} // namespace

RegistryCallLog::RegistryCallLog()
{
    g_log = LogState();
    const struct {
        const char* name;
        const void* replacement;
    } patches[] = {
        {"RegCreateKeyExW", reinterpret_cast<const void*>(&LoggedCreateKey)},
        {"RegDeleteKeyW", reinterpret_cast<const void*>(&LoggedDeleteKey)},
        {"RegOpenKeyExW", reinterpret_cast<const void*>(&LoggedOpenKey)},
        {"RegSetValueExW", reinterpret_cast<const void*>(&LoggedSetValue)},
        {"RegSetKeyValueW", reinterpret_cast<const void*>(&LoggedSetKeyValue)},
    };
    for (const auto& patch : patches) {
        patches_.push_back(
            std::make_unique<ImportPatch>(TestProgramModule(), "ADVAPI32.dll", patch.name, patch.replacement));
    }
}

RegistryCallLog::~RegistryCallLog()
{
    patches_.clear();
    g_log = LogState();
}

void RegistryCallLog::FailCreation(const std::wstring& path, LONG error)
{
    g_log.failingCreations.push_back({path, error});
}

void RegistryCallLog::FailDeletion(const std::wstring& path, LONG error)
{
    g_log.failingDeletions.push_back({path, error});
}

void RegistryCallLog::DenyClassesRoot()
{
    g_log.denyClassesRoot = true;
}

bool RegistryCallLog::Installed() const
{
    for (const auto& patch : patches_) {
        if (!patch->Installed()) {
            return false;
        }
    }
    return true;
}

const std::vector<KeyCreation>& RegistryCallLog::Creations() const
{
    return g_log.creations;
}

int RegistryCallLog::Calls() const
{
    return g_log.calls;
}

} // namespace kxtest
