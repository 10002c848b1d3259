#include "module_load_log.h"

#include <windows.h>
#include <winternl.h>

#include <shlwapi.h>

namespace kxdemo {

namespace {

// The loader's notification record (the same layout for loads and unloads).
struct DllNotificationData {
    ULONG flags;
    const UNICODE_STRING* fullDllName;
    const UNICODE_STRING* baseDllName;
    PVOID dllBase;
    ULONG sizeOfImage;
};

constexpr ULONG DllLoaded = 1;

using NotificationCallback = void(__stdcall*)(unsigned long, const void*, void*);
using RegisterFunction = LONG(NTAPI*)(ULONG, NotificationCallback, void*, void**);
using UnregisterFunction = LONG(NTAPI*)(void*);

template <typename Function>
Function NtdllFunction(const char* name)
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll == nullptr ? nullptr
                            : reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(ntdll, name)));
}

} // namespace

ModuleLoadLog::ModuleLoadLog()
{
    const auto registerNotification = NtdllFunction<RegisterFunction>("LdrRegisterDllNotification");
    if (registerNotification == nullptr || registerNotification(0, &OnNotification, this, &cookie_) != 0) {
        cookie_ = nullptr;
    }
}

ModuleLoadLog::~ModuleLoadLog()
{
    const auto unregisterNotification = NtdllFunction<UnregisterFunction>("LdrUnregisterDllNotification");
    if (cookie_ != nullptr && unregisterNotification != nullptr) {
        unregisterNotification(cookie_);
    }
}

// Runs under the loader lock: it only copies the path.
void __stdcall ModuleLoadLog::OnNotification(unsigned long reason, const void* data, void* context)
{
    const auto* notification = static_cast<const DllNotificationData*>(data);
    if (reason == DllLoaded && notification->fullDllName != nullptr && notification->fullDllName->Buffer != nullptr) {
        static_cast<ModuleLoadLog*>(context)->paths_.emplace_back(notification->fullDllName->Buffer,
                                                                  notification->fullDllName->Length / sizeof(wchar_t));
    }
}

std::vector<std::wstring> ModuleLoadLog::LoadsOf(const std::wstring& prefix) const
{
    std::vector<std::wstring> loads;
    for (const std::wstring& path : paths_) {
        const std::wstring name = ::PathFindFileNameW(path.c_str());
        if (::StrCmpNIW(name.c_str(), prefix.c_str(), static_cast<int>(prefix.size())) == 0) {
            loads.push_back(path);
        }
    }
    return loads;
}

} // namespace kxdemo
