#include "test_environment.h"

#include "common/unique_handle.h"

#include <vector>

namespace kxtest {

std::wstring EnvironmentText(const wchar_t* name)
{
    const DWORD length = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (length == 0) {
        return {};
    }
    std::wstring value(length, L'\0');
    const DWORD written = ::GetEnvironmentVariableW(name, value.data(), length);
    value.resize(written);
    return value;
}

std::wstring ToWindowsPath(const std::wstring& path)
{
    if (path.empty() || path[0] != L'/') {
        return path;
    }
    std::wstring windowsPath = L"Z:" + path;
    for (auto& character : windowsPath) {
        if (character == L'/') {
            character = L'\\';
        }
    }
    return windowsPath;
}

std::wstring ProductDllPath()
{
    return ToWindowsPath(EnvironmentText(L"KX_PRODUCT_DLL"));
}

std::wstring WorkDirectory()
{
    return ToWindowsPath(EnvironmentText(L"KX_WORK_DIR"));
}

std::wstring UniqueName(const std::wstring& prefix)
{
    static LONG counter = 0;
    return prefix + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount()) + L"-" +
           std::to_wstring(::InterlockedIncrement(&counter));
}

DWORD RunProcess(const std::wstring& commandLine, DWORD timeoutMs)
{
    std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        return ~0u;
    }
    kx::unique_handle processHandle(process.hProcess);
    kx::unique_handle threadHandle(process.hThread);
    if (::WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 1);
        return ~0u;
    }
    DWORD exitCode = ~0u;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    return exitCode;
}

std::string ReadFileText(const std::wstring& path)
{
    kx::unique_handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        return {};
    }
    std::string text;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read != 0) {
        text.append(chunk, read);
    }
    return text;
}

std::string WaitForFileText(const std::wstring& path, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        std::string text = ReadFileText(path);
        if (text.find('\n') != std::string::npos || ::GetTickCount64() >= deadline) {
            return text;
        }
        ::Sleep(20);
    }
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

} // namespace kxtest
