#include "product_library.h"

#include "dialog_driver.h"
#include "import_patch.h"
#include "test_environment.h"

#include <shellapi.h>

#include <cstddef>
#include <memory>

namespace kxtest {

namespace {

FARPROC Export(HMODULE module, const char* name)
{
    return module == nullptr ? nullptr : ::GetProcAddress(module, name);
}

struct LaunchLedger {
    int launches = 0;
    std::wstring lastTarget;
    std::unique_ptr<ImportPatch> patch;
};

LaunchLedger g_launches;

BOOL WINAPI CapturedShellExecuteEx(SHELLEXECUTEINFOW* request)
{
    ++g_launches.launches;
    g_launches.lastTarget = request->lpFile != nullptr ? request->lpFile : L"(null)";
    request->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
    if ((request->fMask & SEE_MASK_NOCLOSEPROCESS) != 0) {
        request->hProcess = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    }
    return TRUE;
}

} // namespace

ProductLibrary::ProductLibrary() : ProductLibrary(ProductDllPath()) {}

ProductLibrary::ProductLibrary(const std::wstring& path) : module_(::LoadLibraryW(path.c_str())) {}

ProductLibrary::~ProductLibrary()
{
    if (module_ != nullptr) {
        ::FreeLibrary(module_);
    }
}

VerbEntry ProductLibrary::Verb(const char* name) const
{
    return reinterpret_cast<VerbEntry>(reinterpret_cast<void*>(Export(module_, name)));
}

CoInstallerEntry ProductLibrary::CoInstaller(const char* name) const
{
    return reinterpret_cast<CoInstallerEntry>(reinterpret_cast<void*>(Export(module_, name)));
}

void ProductLibrary::RunVerb(VerbEntry verb, const std::string& commandLine, HWND owner) const
{
    std::string line = commandLine;
    verb(owner, module_, line.data(), SW_SHOWNORMAL);
}

ULONG_PTR* ProductLibrary::StackCookie() const
{
    if (module_ == nullptr) {
        return nullptr;
    }
    const auto* image = reinterpret_cast<const BYTE*>(module_);
    const auto* headers =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG];
    if (directory.VirtualAddress == 0 ||
        directory.Size < offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, SecurityCookie) + sizeof(ULONG_PTR)) {
        return nullptr;
    }
    const auto* config = reinterpret_cast<const IMAGE_LOAD_CONFIG_DIRECTORY*>(image + directory.VirtualAddress);
    return reinterpret_cast<ULONG_PTR*>(static_cast<ULONG_PTR>(config->SecurityCookie));
}

LaunchCapture::LaunchCapture(HMODULE library)
{
    g_launches = LaunchLedger();
    g_launches.patch = std::make_unique<ImportPatch>(library, "SHELL32.dll", "ShellExecuteExW",
                                                     reinterpret_cast<const void*>(&CapturedShellExecuteEx));
}

LaunchCapture::~LaunchCapture()
{
    g_launches.patch.reset();
}

bool LaunchCapture::Installed() const
{
    return g_launches.patch != nullptr && g_launches.patch->Installed();
}

int LaunchCapture::Launches() const
{
    return g_launches.launches;
}

std::wstring LaunchCapture::LastTarget() const
{
    return g_launches.lastTarget;
}

// Returns once the pilot's thread runs and has looked for a dialog once: what the platform
// keeps for a new thread is then in place before a suite starts counting the heap.
DialogAutopilot::DialogAutopilot()
    : stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), running_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      thread_(::CreateThread(nullptr, 0, &DialogAutopilot::Run, this, 0, nullptr))
{
    if (thread_ != nullptr && running_ != nullptr) {
        const HANDLE waits[] = {running_, thread_};
        ::WaitForMultipleObjects(2, waits, FALSE, 10000);
    }
}

DialogAutopilot::~DialogAutopilot()
{
    ::SetEvent(stop_);
    if (thread_ != nullptr) {
        ::WaitForSingleObject(thread_, 10000);
        ::CloseHandle(thread_);
    }
    ::CloseHandle(stop_);
    ::CloseHandle(running_);
}

bool DialogAutopilot::WaitUntilIdle(DWORD timeoutMs) const
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (started_ != finished_) {
        if (::GetTickCount64() >= deadline) {
            return false;
        }
        ::Sleep(1);
    }
    return true;
}

DWORD WINAPI DialogAutopilot::Run(void* self)
{
    auto* pilot = static_cast<DialogAutopilot*>(self);
    ::FindWindowW(L"#32770", MountDialogTitle);
    ::SetEvent(pilot->running_);
    while (::WaitForSingleObject(pilot->stop_, 2) == WAIT_TIMEOUT) {
        HWND dialog = ::FindWindowW(L"#32770", MountDialogTitle);
        // Visible only once its rows are in.
        if (dialog != nullptr && ::IsWindowVisible(dialog)) {
            ::InterlockedIncrement(&pilot->started_);
            pilot->Answer(dialog);
            ::InterlockedIncrement(&pilot->finished_);
        }
    }
    return 0;
}

// After Mount the dialog either goes (a mapping failed) or offers Close with Cancel hidden. A
// dialog that the command's thread is destroying still answers IsWindow for a moment.
bool WaitForPassEnd(HWND dialog, HWND close, HWND cancel, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (::GetTickCount64() < deadline) {
        if (!::IsWindow(dialog)) {
            return true;
        }
        if (close != nullptr && ::IsWindowEnabled(close) && cancel != nullptr && !::IsWindowVisible(cancel)) {
            return true;
        }
        ::Sleep(1);
    }
    return false;
}

bool WaitForWindowGone(HWND dialog, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (::IsWindow(dialog)) {
        if (::GetTickCount64() >= deadline) {
            return false;
        }
        ::Sleep(1);
    }
    return true;
}

void DialogAutopilot::Answer(HWND dialog)
{
    {
        DialogDriver driver(dialog);
        const int rows = static_cast<int>(driver.Rows().size());
        for (int row = 0; row < rows; ++row) {
            driver.Tick(row);
        }
        HWND close = DialogControl(dialog, IDOK);
        HWND cancel = DialogControl(dialog, IDCANCEL);
        ::SendMessageW(close, BM_CLICK, 0, 0);
        if (WaitForPassEnd(dialog, close, cancel, 2000) && ::IsWindow(dialog)) {
            ::SendMessageW(close, BM_CLICK, 0, 0);
        }
    }
    // A pass that could not finish leaves Mount disabled; the user would close the window.
    if (!WaitForWindowGone(dialog, 2000)) {
        ::InterlockedIncrement(&forcedCloses_);
        ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        WaitForWindowGone(dialog, 10000);
    }
}

} // namespace kxtest
