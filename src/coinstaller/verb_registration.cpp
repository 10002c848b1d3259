#include "coinstaller/verb_registration.h"

#include "coinstaller/network_explorer_keys.h"
#include "common/bounded_text.h"
#include "common/unique_handle.h"
#include "localization/localized_text.h"

namespace kx {

namespace {

// The shell resolves these against the library's installed place and its own icon groups.
constexpr wchar_t HardwareIdIcon[] = L"%SystemRoot%\\System32\\KXBL_VNTRTZ71_2_2_0.dll,-102";
constexpr wchar_t DeviceTypeIcon[] = L"%SystemRoot%\\System32\\KXBL_VNTRTZ71_2_2_0.dll,-101";
// Quoted: unquoted, the blank in "Program Files" lets Windows try C:\Program.exe first.
constexpr wchar_t MediaPlayerCommand[] = L"\"C:\\Program Files\\Windows Media Player\\wmplayer.exe\"";
// Names the verb key that a double click runs; it is a key name, never translated.
constexpr wchar_t DefaultVerb[] = L"Open";

struct DeviceTypeVerb {
    const wchar_t* suffix;
    const LocalizedText* caption;
    const wchar_t* commandLine;
};

const DeviceTypeVerb DeviceTypeVerbs[] = {
    {L"\\shell\\Open", &TextOpen, L"rundll32.exe KXBL_VNTRTZ71_2_2_0.dll,ShellCommandOpen %1"},
    {L"\\shell\\Mount", &TextMount, L"rundll32.exe KXBL_VNTRTZ71_2_2_0.dll,ShellCommandMount %1"},
    {L"\\shell\\InstallConnect", &TextInstallConnector,
     L"rundll32.exe KXBL_VNTRTZ71_2_2_0.dll,ShellCommandInstallConnect %1"},
};

void AppendSuffix(RegistryPathBuffer& path, const wchar_t* suffix) noexcept
{
    BoundedAppend(path, SuffixAppendLimit, suffix);
}

void SetBasePath(RegistryPathBuffer& path, const wchar_t* basePath, const wchar_t* suffix) noexcept
{
    BoundedCopy(path, basePath);
    AppendSuffix(path, suffix);
}

// Every key is created by its full path below HKEY_CLASSES_ROOT, so that a parent that could
// not be opened never decides where a child lands.
unique_hkey CreateKey(const RegistryPathBuffer& path) noexcept
{
    HKEY created = nullptr;
    DWORD disposition = 0;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                          &created, &disposition) != ERROR_SUCCESS) {
        return unique_hkey();
    }
    return unique_hkey(created);
}

DWORD TextByteCount(const wchar_t* text) noexcept
{
    return static_cast<DWORD>((::lstrlenW(text) + 1) * sizeof(wchar_t));
}

void SetDefaultValue(HKEY key, const wchar_t* text) noexcept
{
    wchar_t value[RegistryTextLength];
    BoundedCopy(value, text);
    ::RegSetKeyValueW(key, nullptr, nullptr, REG_SZ, value, TextByteCount(value));
}

// The caption is looked up now, in the UI language of this moment, and released once copied.
void SetCaption(HKEY key, const LocalizedText& caption)
{
    wchar_t value[RegistryTextLength];
    BoundedCopy(value, GetUIText(caption).Text());
    ::RegSetValueExW(key, L"MUIVerb", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), TextByteCount(value));
}

void WriteSubkeyDefault(RegistryPathBuffer& path, const wchar_t* suffix, const wchar_t* text) noexcept
{
    AppendSuffix(path, suffix);
    const unique_hkey key = CreateKey(path);
    if (key) {
        SetDefaultValue(key.get(), text);
    }
}

// path names the verb key; a verb key that cannot be created leaves the verb out altogether.
void WriteVerb(RegistryPathBuffer& path, const LocalizedText& caption, const wchar_t* commandLine)
{
    const unique_hkey verbKey = CreateKey(path);
    if (!verbKey) {
        return;
    }
    SetCaption(verbKey.get(), caption);
    WriteSubkeyDefault(path, L"\\command", commandLine);
}

// The device key, its icon and its shell key, which both trees start with. Declared shell last
// so that it is closed before the device key.
struct DeviceTree {
    unique_hkey deviceKey;
    unique_hkey shellKey;
};

// Leaves path naming the shell key. A tree whose device or shell key cannot be created comes
// back without a shell key, and nothing more of it is written.
DeviceTree OpenDeviceTree(RegistryPathBuffer& path, const wchar_t* basePath, const wchar_t* icon) noexcept
{
    DeviceTree tree;
    BoundedCopy(path, basePath);
    tree.deviceKey = CreateKey(path);
    if (!tree.deviceKey) {
        return tree;
    }
    WriteSubkeyDefault(path, L"\\DefaultIcon", icon);
    SetBasePath(path, basePath, L"\\shell");
    tree.shellKey = CreateKey(path);
    return tree;
}

} // namespace

void RegisterHardwareIdVerbs()
{
    RegistryPathBuffer path;
    const DeviceTree tree = OpenDeviceTree(path, HardwareIdKeyPath, HardwareIdIcon);
    if (!tree.shellKey) {
        return;
    }
    AppendSuffix(path, L"\\Open Media Player");
    WriteVerb(path, TextOpenMediaPlayer, MediaPlayerCommand);
}

void RegisterDeviceTypeVerbs()
{
    RegistryPathBuffer path;
    const DeviceTree tree = OpenDeviceTree(path, DeviceTypeKeyPath, DeviceTypeIcon);
    if (!tree.shellKey) {
        return;
    }
    SetDefaultValue(tree.shellKey.get(), DefaultVerb);
    for (const DeviceTypeVerb& verb : DeviceTypeVerbs) {
        SetBasePath(path, DeviceTypeKeyPath, verb.suffix);
        WriteVerb(path, *verb.caption, verb.commandLine);
    }
}

} // namespace kx
