#pragma once

#include <windows.h>
#include <setupapi.h>

#include <string>

namespace kxtest {

using VerbEntry = void(CALLBACK*)(HWND, HINSTANCE, LPSTR, int);
using CoInstallerEntry = DWORD(WINAPI*)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA, PCOINSTALLER_CONTEXT_DATA);

// The built library loaded as a host process loads it, for as long as this object lives.
class ProductLibrary {
public:
    // The library of the build tree (ProductDllPath).
    ProductLibrary();
    explicit ProductLibrary(const std::wstring& path);
    ~ProductLibrary();
    ProductLibrary(const ProductLibrary&) = delete;
    ProductLibrary& operator=(const ProductLibrary&) = delete;

    HMODULE Module() const { return module_; }
    // null when the library or the export is missing
    VerbEntry Verb(const char* name) const;
    CoInstallerEntry CoInstaller(const char* name = "CoDeviceInstall") const;
    // Runs a verb as rundll32 would, on a command line of its own that the verb may change.
    void RunVerb(VerbEntry verb, const std::string& commandLine, HWND owner = nullptr) const;
    // The stack protector's cookie, as the load configuration names it; null without one.
    ULONG_PTR* StackCookie() const;

private:
    HMODULE module_;
};

// Stands in for the library's ShellExecuteExW: a launch is counted instead of started, and
// answered with a fresh handle in place of the process handle, which the library must close.
class LaunchCapture {
public:
    explicit LaunchCapture(HMODULE library);
    ~LaunchCapture();
    LaunchCapture(const LaunchCapture&) = delete;
    LaunchCapture& operator=(const LaunchCapture&) = delete;

    bool Installed() const;
    int Launches() const;
    std::wstring LastTarget() const;
};

// Answers every Mount dialog of this process from a thread of its own, as a user who ticks
// every row, presses Mount and then Close (or closes the window when the button does not).
class DialogAutopilot {
public:
    DialogAutopilot();
    ~DialogAutopilot();
    DialogAutopilot(const DialogAutopilot&) = delete;
    DialogAutopilot& operator=(const DialogAutopilot&) = delete;

    // Dialogs answered so far.
    LONG Answered() const { return finished_; }
    // Dialogs that Close did not end, so that the pilot had to close the window itself.
    LONG ForcedCloses() const { return forcedCloses_; }
    // Waits until no dialog is being answered, so that the pilot holds no handle of its own.
    bool WaitUntilIdle(DWORD timeoutMs) const;

private:
    static DWORD WINAPI Run(void* self);
    void Answer(HWND dialog);

    HANDLE stop_;
    HANDLE running_;
    HANDLE thread_;
    volatile LONG started_ = 0;
    volatile LONG finished_ = 0;
    volatile LONG forcedCloses_ = 0;
};

} // namespace kxtest
