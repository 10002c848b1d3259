#include "test_environment.h"

#include <cwchar>

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

namespace {

// Wine answers ERROR_INTERNAL_ERROR when the new process ended before it had finished starting, none
// of the program run (seen, rarely, on a loaded machine: msiexec between two installations). Such a
// start is made again; every failed start is reported, as a program that never ran shows no exit code.
constexpr int StartAttempts = 3;

// Standard output and error go to output when it is given (inherited), else where ours go.
kx::unique_handle Start(const std::wstring& commandLine, HANDLE output)
{
    std::wstring mutableLine = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (output != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    for (int attempt = 1;; ++attempt) {
        PROCESS_INFORMATION process = {};
        if (::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr,
                             &startup, &process)) {
            ::CloseHandle(process.hThread);
            return kx::unique_handle(process.hProcess);
        }
        const DWORD error = ::GetLastError();
        std::fwprintf(stderr, L"could not start %ls: error %lu\n", commandLine.c_str(), error);
        if (error != ERROR_INTERNAL_ERROR || attempt == StartAttempts) {
            return {};
        }
    }
}

DWORD WaitForExitCode(const kx::unique_handle& process, DWORD timeoutMs)
{
    if (!process) {
        return ~0u;
    }
    if (::WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
        std::fwprintf(stderr, L"a program still ran after %lu ms and was ended\n", timeoutMs);
        ::TerminateProcess(process.get(), 1);
        return ~0u;
    }
    DWORD exitCode = ~0u;
    ::GetExitCodeProcess(process.get(), &exitCode);
    return exitCode;
}

} // namespace

kx::unique_handle StartProcess(const std::wstring& commandLine)
{
    return Start(commandLine, nullptr);
}

DWORD RunProcess(const std::wstring& commandLine, DWORD timeoutMs)
{
    return WaitForExitCode(Start(commandLine, nullptr), timeoutMs);
}

ProcessOutput RunProcessCapturingOutput(const std::wstring& commandLine, DWORD timeoutMs)
{
    const std::wstring outputPath = WorkDirectory() + L"\\" + UniqueName(L"output-") + L".txt";
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    kx::unique_hfile file(::CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        &inheritable, CREATE_ALWAYS, 0, nullptr));
    if (!file) {
        return {~0u, {}};
    }
    const DWORD exitCode = WaitForExitCode(Start(commandLine, file.get()), timeoutMs);
    file.reset();
    ProcessOutput output{exitCode, ReadFileText(outputPath)};
    ::DeleteFileW(outputPath.c_str());
    return output;
}

std::string ReadFileText(const std::wstring& path)
{
    kx::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    if (!file) {
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
