#pragma once

#include "kx_product.h"

#include <cstddef>

namespace kx {

// The UPnP device type that the storage device announces in its description document. The
// simulated device announces the same constant, so the two cannot drift apart.
constexpr wchar_t DeviceType[] = KX_DEVICE_TYPE_WIDE;

// Network Explorer takes the device's icon and verbs from these keys below HKEY_CLASSES_ROOT:
// one named after the PnP-X hardware id, one after the UPnP device type. The parent and the
// names are spelled out apart too: a renewal sets the trees aside under their own names.
constexpr wchar_t PluginsKeyPath[] = L"NetworkExplorerPlugins";
constexpr wchar_t HardwareId[] = KX_HARDWARE_ID_WIDE;
constexpr wchar_t HardwareIdKeyPath[] = L"NetworkExplorerPlugins\\" KX_HARDWARE_ID_WIDE;
constexpr wchar_t DeviceTypeKeyPath[] = L"NetworkExplorerPlugins\\" KX_DEVICE_TYPE_WIDE;

namespace detail {
constexpr bool IsPluginKeyOf(const wchar_t* path, const wchar_t* name)
{
    for (const wchar_t* parent = PluginsKeyPath; *parent != L'\0'; ++parent, ++path) {
        if (*path != *parent) {
            return false;
        }
    }
    if (*path != L'\\') {
        return false;
    }
    for (++path; *name != L'\0'; ++name, ++path) {
        if (*path != *name) {
            return false;
        }
    }
    return *path == L'\0';
}
} // namespace detail
static_assert(detail::IsPluginKeyOf(HardwareIdKeyPath, HardwareId), "the key must be named after the hardware id");
static_assert(detail::IsPluginKeyOf(DeviceTypeKeyPath, DeviceType), "the key must be named after the device type");

// Key paths and values are composed in buffers of this many characters; a suffix is appended
// only while the path stays below SuffixAppendLimit characters, terminator included.
constexpr std::size_t RegistryTextLength = 520;
constexpr std::size_t SuffixAppendLimit = 260;
// Room for one subkey name during deletion (registry key names are at most 255 characters).
constexpr std::size_t SubkeyNameLength = 260;

using RegistryPathBuffer = wchar_t[RegistryTextLength];

} // namespace kx
