#include "coinstaller/registration/trees_set_aside.h"

#include "coinstaller/registration/network_explorer_keys.h"
#include "coinstaller/registration/network_explorer_trees.h"
#include "coinstaller/registration/registry_tree.h"
#include "common/bounded_text.h"
#include "common/unique_handle.h"

namespace kx {

namespace {

// Below the same root as the trees, so that the copy lands in the same hive; each tree keeps its
// own name there, so that one copy puts both back.
constexpr wchar_t SetAsideKeyPath[] = L"KXVantorel.NetworkExplorerBackup";

struct PluginTree {
    const wchar_t* path;
    const wchar_t* name;
};
const PluginTree PluginTrees[] = {{HardwareIdKeyPath, HardwareId}, {DeviceTypeKeyPath, DeviceType}};

LONG SetTreeAside(const PluginTree& tree, bool& keptAny)
{
    unique_hkey source;
    const LONG opened = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, tree.path, 0, KEY_READ, source.put());
    if (opened != ERROR_SUCCESS) {
        source.release();
        return opened == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : opened;
    }
    RegistryPathBuffer copyPath;
    BoundedCopy(copyPath, SetAsideKeyPath);
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

} // namespace

LONG SetTreesAside(bool& keptAny)
{
    LONG status = DiscardTreesSetAside();
    for (const PluginTree& tree : PluginTrees) {
        if (status == ERROR_SUCCESS) {
            status = SetTreeAside(tree, keptAny);
        }
    }
    if (status != ERROR_SUCCESS) {
        DiscardTreesSetAside();
    }
    return status;
}

// A deletion that fails here most likely stopped the renewal too, before anything was written:
// what stays is then old content, which the copy writes over.
LONG PutTreesBack(bool keptAny)
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
    return ::RegCopyTreeW(HKEY_CLASSES_ROOT, SetAsideKeyPath, plugins.get());
}

LONG DiscardTreesSetAside()
{
    return DeleteRegistryTree(HKEY_CLASSES_ROOT, SetAsideKeyPath);
}

} // namespace kx
