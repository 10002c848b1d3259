#include "coinstaller/dll_install.h"

#include "coinstaller/network_explorer_keys.h"
#include "coinstaller/network_explorer_trees.h"
#include "common/hresult_error.h"
#include "common/module_instance.h"

namespace kx {

namespace {

HRESULT LastErrorOr(HRESULT fallback) noexcept
{
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? fallback : HRESULT_FROM_WIN32(error);
}

// A path that fills the buffer may have been cut: it is refused, never registered.
HRESULT InstallForThisLibrary()
{
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

// The deletion names no reason; what stops it in practice is a lack of rights.
HRESULT Uninstall()
{
    return RemoveNetworkExplorerKeys() ? S_OK : E_ACCESSDENIED;
}

} // namespace

} // namespace kx

HRESULT WINAPI DllInstall(BOOL install, PCWSTR /*commandLine*/)
{
    return kx::ResultOfGuarded([&] { return install ? kx::InstallForThisLibrary() : kx::Uninstall(); });
}
