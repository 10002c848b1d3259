// Registered in the test prefix as the handler of http addresses: appends the address the shell
// handed over, as one UTF-8 line, to the file named by KX_LAUNCH_LOG.

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::wstring LaunchLogPath()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"KX_LAUNCH_LOG", path, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(path);
}

std::wstring LaunchedTarget()
{
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::wstring target = (arguments != nullptr && count > 1) ? arguments[1] : L"";
    ::LocalFree(arguments);
    return target;
}

void AppendLine(const std::wstring& path, const std::wstring& line)
{
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::wstring text = line + L"\n";
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    ::CloseHandle(file);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    const std::wstring path = LaunchLogPath();
    if (!path.empty()) {
        AppendLine(path, LaunchedTarget());
    }
    return 0;
}
