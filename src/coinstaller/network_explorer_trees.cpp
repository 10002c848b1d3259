#include "coinstaller/network_explorer_trees.h"

#include "coinstaller/network_explorer_keys.h"
#include "coinstaller/registry_tree.h"
#include "coinstaller/verb_registration.h"
#include "common/bounded_text.h"
#include "common/hresult_error.h"

#include <cwchar>

namespace kx {

namespace {

// A quote would end the quoted name early, a comma would end the library's name for rundll32,
// and the shell replaces %-sequences in a verb's command.
bool IsUsableLibraryPath(const wchar_t* path) noexcept
{
    return path != nullptr && *path != L'\0' && std::wcspbrk(path, L"\",%") == nullptr;
}

// The quoted form only when a command line needs it.
bool ComposeCommandName(wchar_t (&commandName)[RegistryTextLength], const wchar_t* path) noexcept
{
    if (std::wcspbrk(path, L" \t") == nullptr) {
        return BoundedCopy(commandName, path);
    }
    commandName[0] = L'\0';
    return BoundedAppend(commandName, RegistryTextLength, L"\"") &&
           BoundedAppend(commandName, RegistryTextLength, path) &&
           BoundedAppend(commandName, RegistryTextLength, L"\"");
}

HRESULT WriteBothTrees(const LibraryValues& values)
{
    LONG status = RegisterHardwareIdVerbs(values);
    if (status == ERROR_SUCCESS) {
        status = RegisterDeviceTypeVerbs(values);
    }
    return HRESULT_FROM_WIN32(status);
}

} // namespace

bool RemoveNetworkExplorerKeys()
{
    const bool deviceTypeGone = DeleteRegistryTree(HKEY_CLASSES_ROOT, DeviceTypeKeyPath);
    const bool hardwareIdGone = DeleteRegistryTree(HKEY_CLASSES_ROOT, HardwareIdKeyPath);
    return deviceTypeGone && hardwareIdGone;
}

// Deleting first makes sure that nothing an earlier version wrote survives the renewal.
void RenewNetworkExplorerKeys()
{
    RemoveNetworkExplorerKeys();
    RegisterHardwareIdVerbs();
    RegisterDeviceTypeVerbs();
}

HRESULT RenewNetworkExplorerKeysFor(const wchar_t* libraryPath)
{
    if (!IsUsableLibraryPath(libraryPath)) {
        return HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME);
    }
    wchar_t commandName[RegistryTextLength];
    LibraryValues values;
    if (!ComposeCommandName(commandName, libraryPath) || !ComposeLibraryValues({libraryPath, commandName}, values)) {
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    // The deletion names no reason; what stops it in practice is a lack of rights.
    if (!RemoveNetworkExplorerKeys()) {
        return E_ACCESSDENIED;
    }
    const HRESULT result = ResultOfGuarded([&] { return WriteBothTrees(values); });
    if (FAILED(result)) {
        RemoveNetworkExplorerKeys();
    }
    return result;
}

} // namespace kx
