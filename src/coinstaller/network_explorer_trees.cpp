#include "coinstaller/network_explorer_trees.h"

#include "coinstaller/network_explorer_keys.h"
#include "coinstaller/registry_tree.h"
#include "coinstaller/verb_registration.h"
#include "common/bounded_text.h"
#include "common/hresult_error.h"
#include "common/unique_handle.h"

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

// Where a renewal keeps the trees it replaces until the new ones stand: below the same root, so
// that the copy lands in the same hive, and outside NetworkExplorerPlugins, so that Network
// Explorer never shows it. Each tree keeps its own name there, so that one copy puts both back.
constexpr wchar_t BackupKeyPath[] = L"KXVantorel.NetworkExplorerBackup";

struct PluginTree {
    const wchar_t* path;
    const wchar_t* name;
};
const PluginTree PluginTrees[] = {{HardwareIdKeyPath, HardwareId}, {DeviceTypeKeyPath, DeviceType}};

// A tree that is not there is nothing to keep; keptAny tells whether one was copied.
LONG BackUpTree(const PluginTree& tree, bool& keptAny)
{
    unique_hkey source;
    const LONG opened = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, tree.path, 0, KEY_READ, source.put());
    if (opened != ERROR_SUCCESS) {
        source.release();
        return opened == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : opened;
    }
    RegistryPathBuffer copyPath;
    BoundedCopy(copyPath, BackupKeyPath);
    BoundedAppend(copyPath, RegistryTextLength, L"\\");
    BoundedAppend(copyPath, RegistryTextLength, tree.name);
    unique_hkey copy;
    const LONG created = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, copyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                           nullptr, copy.put(), nullptr);
    if (created != ERROR_SUCCESS) {
        copy.release();
        return created;
    }
    keptAny = true;
    return ::RegCopyTreeW(source.get(), nullptr, copy.get());
}

// A copy left behind by a renewal that never finished is stale: it goes first, so that nothing
// of it is ever put back.
LONG BackUpTrees(bool& keptAny)
{
    LONG status = DeleteRegistryTree(HKEY_CLASSES_ROOT, BackupKeyPath);
    for (const PluginTree& tree : PluginTrees) {
        if (status == ERROR_SUCCESS) {
            status = BackUpTree(tree, keptAny);
        }
    }
    return status;
}

// The trees go again, whatever the failed renewal left of them, and the copy takes their place.
// A deletion that fails here most likely stopped the renewal too, before anything was written:
// what stays is then old content, which the copy writes over.
LONG RestoreTrees(bool keptAny)
{
    RemoveNetworkExplorerKeys();
    if (!keptAny) {
        return ERROR_SUCCESS;
    }
    unique_hkey plugins;
    const LONG opened = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, PluginsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          KEY_WRITE, nullptr, plugins.put(), nullptr);
    if (opened != ERROR_SUCCESS) {
        plugins.release();
        return opened;
    }
    return ::RegCopyTreeW(HKEY_CLASSES_ROOT, BackupKeyPath, plugins.get());
}

HRESULT ReplaceTrees(const LibraryValues& values)
{
    const LONG removed = RemoveNetworkExplorerKeys();
    if (removed != ERROR_SUCCESS) {
        return HRESULT_FROM_WIN32(removed);
    }
    return ResultOfGuarded([&] { return WriteBothTrees(values); });
}

} // namespace

LONG RemoveNetworkExplorerKeys()
{
    const LONG deviceType = DeleteRegistryTree(HKEY_CLASSES_ROOT, DeviceTypeKeyPath);
    const LONG hardwareId = DeleteRegistryTree(HKEY_CLASSES_ROOT, HardwareIdKeyPath);
    return deviceType != ERROR_SUCCESS ? deviceType : hardwareId;
}

// Deleting first makes sure that nothing an earlier version wrote survives the renewal.
void RenewNetworkExplorerKeys()
{
    RemoveNetworkExplorerKeys();
    RegisterHardwareIdVerbs();
    RegisterDeviceTypeVerbs();
}

// A copy that could not be put back stays: it holds the only record of the old trees.
HRESULT RenewNetworkExplorerKeysFor(const wchar_t* libraryPath)
{
    LibraryValues values;
    const HRESULT composed = ComposeValuesFor(libraryPath, values);
    if (FAILED(composed)) {
        return composed;
    }
    bool keptAny = false;
    const LONG kept = BackUpTrees(keptAny);
    if (kept != ERROR_SUCCESS) {
        DeleteRegistryTree(HKEY_CLASSES_ROOT, BackupKeyPath);
        return HRESULT_FROM_WIN32(kept);
    }
    const HRESULT result = ReplaceTrees(values);
    if (FAILED(result) && RestoreTrees(keptAny) != ERROR_SUCCESS) {
        return result;
    }
    DeleteRegistryTree(HKEY_CLASSES_ROOT, BackupKeyPath);
    return result;
}

HRESULT UnregisterNetworkExplorerKeys()
{
    const LONG removed = RemoveNetworkExplorerKeys();
    const LONG leftover = DeleteRegistryTree(HKEY_CLASSES_ROOT, BackupKeyPath);
    return HRESULT_FROM_WIN32(removed != ERROR_SUCCESS ? removed : leftover);
}

} // namespace kx
