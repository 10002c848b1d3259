#include "coinstaller/registration/dll_install.h"

#include "coinstaller/registration/network_explorer_keys.h"
#include "coinstaller/registration/network_explorer_trees.h"
#include "common/hresult_error.h"
#include "common/module_instance.h"

namespace kx {

namespace {

HRESULT LastErrorOr(HRESULT fallback) noexcept
{
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? fallback : HRESULT_FROM_WIN32(error);
}

// The buffer is larger than the longest path that registers, so that a longer one arrives
// whole and is refused for its length; one that fills even this buffer may have been cut and is
// refused here.
HRESULT InstallForThisLibrary()
{
    static_assert(RegistryTextLength > MAX_PATH, "a path too long to register must arrive whole");
    wchar_t path[RegistryTextLength];
    const DWORD length = ::GetModuleFileNameW(ModuleInstance, path, RegistryTextLength);
    if (length == 0) {
        return LastErrorOr(E_FAIL);
    }
    if (length >= RegistryTextLength) {
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    return RenewNetworkExplorerKeysFor(path);
}

} // namespace

} // namespace kx

HRESULT WINAPI DllInstall(BOOL install, PCWSTR /*commandLine*/)
{
    return kx::ResultOfGuarded(
        [&] { return install ? kx::InstallForThisLibrary() : kx::UnregisterNetworkExplorerKeys(); });
}
