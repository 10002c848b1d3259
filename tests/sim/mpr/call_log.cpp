#include "call_log.h"

#include "simulated_network_config.h"

#include <vector>
// After the standard headers: its deprecation macros rename the C string functions they name.
#include <strsafe.h>

namespace kxsim {

std::wstring LogText(const wchar_t* text)
{
    return text == nullptr ? std::wstring(L"NULL") : L"\"" + std::wstring(text) + L"\"";
}

std::wstring LogResource(const NETRESOURCEW* resource)
{
    if (resource == nullptr) {
        return L"NULL";
    }
    return L"{scope=" + std::to_wstring(resource->dwScope) + L" type=" + std::to_wstring(resource->dwType) +
           L" display=" + std::to_wstring(resource->dwDisplayType) + L" usage=" + std::to_wstring(resource->dwUsage) +
           L" local=" + LogText(resource->lpLocalName) + L" remote=" + LogText(resource->lpRemoteName) + L" comment=" +
           LogText(resource->lpComment) + L" provider=" + LogText(resource->lpProvider) + L"}";
}

std::wstring LogHex(DWORD value)
{
    wchar_t text[16] = {};
    ::StringCchPrintfW(text, ARRAYSIZE(text), L"0x%X", value);
    return text;
}

void AppendCallLog(const std::wstring& line)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(CallLogVariable, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    const std::wstring text = line + L"\n";
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::vector<char> utf8(static_cast<std::size_t>(bytes));
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr,
                          nullptr);
    HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    ::CloseHandle(file);
}

} // namespace kxsim
