#include "coinstaller/registration/network_explorer_trees.h"

#include "coinstaller/registration/network_explorer_keys.h"
#include "coinstaller/registration/registry_tree.h"
#include "coinstaller/registration/trees_set_aside.h"
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

// Both trees are written even when the first fails: the co-installer has always written what it
// could.
LONG WriteBothTrees(const LibraryValues& values)
{
    const LONG hardwareId = RegisterHardwareIdVerbs(values);
    const LONG deviceType = RegisterDeviceTypeVerbs(values);
    return hardwareId != ERROR_SUCCESS ? hardwareId : deviceType;
}

HRESULT RenewComposed(const LibraryValues& values)
{
    // Deleting first makes sure that nothing an earlier version wrote survives the renewal.
    const LONG removed = RemoveNetworkExplorerKeys();
    const HRESULT written = ResultOfGuarded([&] {
        const LONG status = WriteBothTrees(values);
        return HRESULT_FROM_WIN32(status);
    });
    return removed != ERROR_SUCCESS ? HRESULT_FROM_WIN32(removed) : written;
}

// The shell reads an icon location, and rundll32 its command line, into MAX_PATH characters.
HRESULT ComposeValuesFor(const wchar_t* libraryPath, LibraryValues& values) noexcept
{
    if (!IsUsableLibraryPath(libraryPath)) {
        return HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME);
    }
    wchar_t commandName[RegistryTextLength];
    if (std::wcslen(libraryPath) >= MAX_PATH || !ComposeCommandName(commandName, libraryPath) ||
        !ComposeLibraryValues({libraryPath, commandName}, values)) {
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    return S_OK;
}

} // namespace

LONG RemoveNetworkExplorerKeys()
{
    const LONG deviceType = DeleteRegistryTree(HKEY_CLASSES_ROOT, DeviceTypeKeyPath);
    const LONG hardwareId = DeleteRegistryTree(HKEY_CLASSES_ROOT, HardwareIdKeyPath);
    return deviceType != ERROR_SUCCESS ? deviceType : hardwareId;
}

HRESULT RenewNetworkExplorerKeys(const LibraryLocation& location)
{
    LibraryValues values;
    if (!ComposeLibraryValues(location, values)) {
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    return RenewComposed(values);
}

HRESULT RenewNetworkExplorerKeysFor(const wchar_t* libraryPath)
{
    LibraryValues values;
    const HRESULT composed = ComposeValuesFor(libraryPath, values);
    if (FAILED(composed)) {
        return composed;
    }
    bool keptAny = false;
    const LONG kept = SetTreesAside(keptAny);
    if (kept != ERROR_SUCCESS) {
        return HRESULT_FROM_WIN32(kept);
    }
    const HRESULT result = RenewComposed(values);
    if (FAILED(result) && PutTreesBack(keptAny) != ERROR_SUCCESS) {
        return result;
    }
    DiscardTreesSetAside();
    return result;
}

HRESULT UnregisterNetworkExplorerKeys()
{
    const LONG removed = RemoveNetworkExplorerKeys();
    const LONG leftover = DiscardTreesSetAside();
    return HRESULT_FROM_WIN32(removed != ERROR_SUCCESS ? removed : leftover);
}

} // namespace kx
