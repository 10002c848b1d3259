#include "registry_snapshot.h"

#include "common/unique_handle.h"
#include "test_environment.h"

namespace kxtest {

namespace {

std::map<std::wstring, RegistryValue> ReadValues(HKEY key)
{
    std::map<std::wstring, RegistryValue> values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = ARRAYSIZE(name);
        DWORD type = 0;
        DWORD size = 0;
        if (::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
            return values;
        }
        std::vector<BYTE> data(size);
        nameLength = ARRAYSIZE(name);
        ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size);
        values[name] = RegistryValue{type, data};
    }
}

void ReadTree(HKEY key, const std::wstring& relative, RegistrySnapshot& snapshot)
{
    snapshot[relative] = ReadValues(key);
    for (DWORD index = 0;; ++index) {
        wchar_t name[512];
        DWORD nameLength = ARRAYSIZE(name);
        if (::RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return;
        }
        kx::unique_hkey subkey;
        if (::RegOpenKeyExW(key, name, 0, KEY_READ, subkey.put()) == ERROR_SUCCESS) {
            ReadTree(subkey.get(), relative.empty() ? name : relative + L"\\" + name, snapshot);
        }
    }
}

std::wstring TypeName(DWORD type)
{
    return type == REG_SZ ? L"REG_SZ" : type == REG_EXPAND_SZ ? L"REG_EXPAND_SZ" : L"type " + std::to_wstring(type);
}

std::wstring DataText(const std::vector<BYTE>& data)
{
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    std::copy(data.begin(), data.begin() + text.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(text.data()));
    return text;
}

} // namespace

RegistrySnapshot TakeRegistrySnapshot(HKEY root, const std::wstring& path)
{
    RegistrySnapshot snapshot;
    kx::unique_hkey top;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, top.put()) == ERROR_SUCCESS) {
        ReadTree(top.get(), L"", snapshot);
    }
    return snapshot;
}

std::wstring DescribeSnapshot(const RegistrySnapshot& snapshot)
{
    std::wstring description;
    for (const auto& [key, values] : snapshot) {
        description += L"[" + key + L"]\n";
        for (const auto& [name, value] : values) {
            // The text is shown with its terminator as "\0", so a missing or extra one shows.
            std::wstring text = DataText(value.data);
            std::wstring shown;
            for (wchar_t character : text) {
                shown += character == L'\0' ? std::wstring(L"\\0") : std::wstring(1, character);
            }
            description += L"  " + (name.empty() ? std::wstring(L"@") : L"\"" + name + L"\"") + L" " +
                           TypeName(value.type) + L" " + std::to_wstring(value.data.size()) + L" bytes: " + shown +
                           L"\n";
        }
    }
    return description;
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    kx::unique_hkey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

RegistryValue StringValue(const std::wstring& text)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return RegistryValue{REG_SZ, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))};
}

void CreateKeys(HKEY root, const std::wstring& base, const std::vector<std::wstring>& paths)
{
    for (const auto& relative : paths) {
        kx::unique_hkey key;
        const std::wstring path = relative.empty() ? base : base.empty() ? relative : base + L"\\" + relative;
        if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) ==
            ERROR_SUCCESS) {
            const RegistryValue value = StringValue(relative);
            ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, value.data.data(), static_cast<DWORD>(value.data.size()));
        }
    }
}

ScratchKey::ScratchKey() : path_(L"Software\\KxTest\\" + UniqueName(L"scratch-")) {}

ScratchKey::~ScratchKey()
{
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, path_.c_str());
}

} // namespace kxtest
