#include "coinstaller/registration/verb_registration.h"

#include "common/bounded_text.h"
#include "kx_product.h"
#include "common/unique_handle.h"
#include "localization/localized_text.h"

#include <initializer_list>

namespace kx {

const LibraryLocation SystemLibraryLocation = {L"%SystemRoot%\\System32\\" KX_LIBRARY_FILE_WIDE, KX_LIBRARY_FILE_WIDE};

namespace {

// Quoted: unquoted, the blank in "Program Files" lets Windows try C:\Program.exe first.
constexpr wchar_t MediaPlayerCommand[] = L"\"C:\\Program Files\\Windows Media Player\\wmplayer.exe\"";
// Names the verb key that a double click runs; it is a key name, never translated.
constexpr wchar_t DefaultVerb[] = L"Open";

using RegistryValueBuffer = wchar_t[RegistryTextLength];

struct DeviceTypeVerb {
    const wchar_t* suffix;
    const LocalizedText* caption;
    const wchar_t* exportName;
    RegistryValueBuffer LibraryValues::*commandLine;
};

const DeviceTypeVerb DeviceTypeVerbs[] = {
    {L"\\shell\\Open", &TextOpen, L"ShellCommandOpen", &LibraryValues::openCommand},
    {L"\\shell\\Mount", &TextMount, L"ShellCommandMount", &LibraryValues::mountCommand},
    {L"\\shell\\InstallConnect", &TextInstallConnector, L"ShellCommandInstallConnect",
     &LibraryValues::installConnectorCommand},
};

// The first failure of a registration; the ones after it do not replace it.
class FirstFailure {
public:
    void Note(LONG status) noexcept
    {
        if (status_ == ERROR_SUCCESS) {
            status_ = status;
        }
    }
    LONG Status() const noexcept { return status_; }

private:
    LONG status_ = ERROR_SUCCESS;
};

bool Compose(RegistryValueBuffer& value, std::initializer_list<const wchar_t*> parts) noexcept
{
    value[0] = L'\0';
    for (const wchar_t* part : parts) {
        if (!BoundedAppend(value, RegistryTextLength, part)) {
            return false;
        }
    }
    return true;
}

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
unique_hkey CreateKey(const RegistryPathBuffer& path, FirstFailure& failure) noexcept
{
    HKEY created = nullptr;
    DWORD disposition = 0;
    const LONG status = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                          nullptr, &created, &disposition);
    failure.Note(status);
    return status == ERROR_SUCCESS ? unique_hkey(created) : unique_hkey();
}

DWORD TextByteCount(const wchar_t* text) noexcept
{
    return static_cast<DWORD>((::lstrlenW(text) + 1) * sizeof(wchar_t));
}

void SetDefaultValue(HKEY key, const wchar_t* text, FirstFailure& failure) noexcept
{
    RegistryValueBuffer value;
    BoundedCopy(value, text);
    failure.Note(::RegSetKeyValueW(key, nullptr, nullptr, REG_SZ, value, TextByteCount(value)));
}

// The caption is looked up now, in the UI language of this moment, and released once copied.
void SetCaption(HKEY key, const LocalizedText& caption, FirstFailure& failure)
{
    RegistryValueBuffer value;
    BoundedCopy(value, GetUIText(caption).Text());
    failure.Note(
        ::RegSetValueExW(key, L"MUIVerb", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), TextByteCount(value)));
}

void WriteSubkeyDefault(RegistryPathBuffer& path, const wchar_t* suffix, const wchar_t* text, FirstFailure& failure)
{
    AppendSuffix(path, suffix);
    const unique_hkey key = CreateKey(path, failure);
    if (key) {
        SetDefaultValue(key.get(), text, failure);
    }
}

// path names the verb key; a verb key that cannot be created leaves the verb out altogether.
void WriteVerb(RegistryPathBuffer& path, const LocalizedText& caption, const wchar_t* commandLine,
               FirstFailure& failure)
{
    const unique_hkey verbKey = CreateKey(path, failure);
    if (!verbKey) {
        return;
    }
    SetCaption(verbKey.get(), caption, failure);
    WriteSubkeyDefault(path, L"\\command", commandLine, failure);
}

// The device key, its icon and its shell key, which both trees start with. Declared shell last
// so that it is closed before the device key.
struct DeviceTree {
    unique_hkey deviceKey;
    unique_hkey shellKey;
};

// Leaves path naming the shell key. A tree whose device or shell key cannot be created comes
// back without a shell key, and nothing more of it is written.
DeviceTree OpenDeviceTree(RegistryPathBuffer& path, const wchar_t* basePath, const wchar_t* icon, FirstFailure& failure)
{
    DeviceTree tree;
    BoundedCopy(path, basePath);
    tree.deviceKey = CreateKey(path, failure);
    if (!tree.deviceKey) {
        return tree;
    }
    WriteSubkeyDefault(path, L"\\DefaultIcon", icon, failure);
    SetBasePath(path, basePath, L"\\shell");
    tree.shellKey = CreateKey(path, failure);
    return tree;
}

} // namespace

// An icon location is the library's path, a comma and the negated id of one of its icon groups.
bool ComposeLibraryValues(const LibraryLocation& location, LibraryValues& values) noexcept
{
    bool fit = Compose(values.hardwareIdIcon, {location.iconPath, L",-102"}) &&
               Compose(values.deviceTypeIcon, {location.iconPath, L",-101"});
    for (const DeviceTypeVerb& verb : DeviceTypeVerbs) {
        fit = fit && Compose(values.*verb.commandLine,
                             {L"rundll32.exe ", location.commandName, L",", verb.exportName, L" %1"});
    }
    return fit;
}

LONG RegisterHardwareIdVerbs(const LibraryValues& values)
{
    FirstFailure failure;
    RegistryPathBuffer path;
    const DeviceTree tree = OpenDeviceTree(path, HardwareIdKeyPath, values.hardwareIdIcon, failure);
    if (tree.shellKey) {
        AppendSuffix(path, L"\\Open Media Player");
        WriteVerb(path, TextOpenMediaPlayer, MediaPlayerCommand, failure);
    }
    return failure.Status();
}

LONG RegisterDeviceTypeVerbs(const LibraryValues& values)
{
    FirstFailure failure;
    RegistryPathBuffer path;
    const DeviceTree tree = OpenDeviceTree(path, DeviceTypeKeyPath, values.deviceTypeIcon, failure);
    if (!tree.shellKey) {
        return failure.Status();
    }
    SetDefaultValue(tree.shellKey.get(), DefaultVerb, failure);
    for (const DeviceTypeVerb& verb : DeviceTypeVerbs) {
        SetBasePath(path, DeviceTypeKeyPath, verb.suffix);
        WriteVerb(path, *verb.caption, values.*verb.commandLine, failure);
    }
    return failure.Status();
}

} // namespace kx
