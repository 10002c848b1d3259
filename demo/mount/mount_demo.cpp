// Main-job step: the Mount verb through the real rundll32 against a simulated device whose
// shares are Public, Music, Pictures and Videos. Ticks two rows, presses Mount, prints the
// statuses and the drive letters, then waits for the screenshot before it closes the dialog.
//
// Usage: kx_mount_demo <host> <screenshot flag file>
// Prints "dialog at X Y W H" (screen pixels) when the dialog is ready for a screenshot, and
// waits until the flag file exists (at most 30 s).

#include "dialog_driver.h"
#include "simulated_device.h"
#include "test_environment.h"

#include <cstdio>
#include <string>

namespace {

void Say(const std::wstring& line)
{
    std::printf("%s\n", kxtest::ToUtf8(line).c_str());
    std::fflush(stdout);
}

void WaitForFile(const std::wstring& path, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && ::GetTickCount64() < deadline) {
        ::Sleep(50);
    }
}

void ShowRows(const kxtest::DialogDriver& driver)
{
    for (const auto& row : driver.Rows()) {
        Say(L"  [" + std::wstring(row.ticked ? L"x" : L" ") + L"] " + row.share +
            (row.status.empty() ? L"" : L"  -> " + row.status));
    }
}

void OfferScreenshot(HWND dialog, const std::wstring& flagFile)
{
    RECT frame = {};
    ::GetWindowRect(dialog, &frame);
    std::printf("dialog at %ld %ld %ld %ld\n", frame.left, frame.top, frame.right - frame.left,
                frame.bottom - frame.top);
    std::fflush(stdout);
    WaitForFile(flagFile, 30000);
}

int DriveTheDialog(HWND dialog, const kxtest::SimulatedNetworkSession& network, const std::wstring& flagFile)
{
    kxtest::DialogDriver driver(dialog);
    Say(L"dialog \"" + std::wstring(kxtest::MountDialogTitle) + L"\" offers:");
    ShowRows(driver);
    const int rows = static_cast<int>(driver.Rows().size());
    for (int row = 0; row < rows && row < 2; ++row) {
        driver.Tick(row);
    }
    Say(L"ticked the first two rows and pressed \"" + driver.ControlText(IDOK) + L"\":");
    driver.Press(IDOK);
    ShowRows(driver);
    Say(L"button now reads \"" + driver.ControlText(IDOK) + L"\"; Cancel " +
        (driver.ControlVisible(IDCANCEL) ? L"shown" : L"hidden"));
    for (wchar_t letter = L'Z'; letter >= L'W'; --letter) {
        const std::wstring remote = network.DriveConnection(letter);
        if (!remote.empty()) {
            Say(std::wstring(1, letter) + L": is " + remote);
        }
    }
    OfferScreenshot(dialog, flagFile);
    driver.Press(IDOK);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: kx_mount_demo <host> <screenshot flag file>\n");
        return 64;
    }
    kxtest::SimulatedNetworkSession network;
    kxtest::SimulatedNas nas(argv[1], {L"Public", L"Music", L"Pictures", L"Videos"});
    const std::wstring command = kxtest::Rundll32Command(L"ShellCommandMount", nas.Udn());
    Say(L"Mount: " + command);

    const kx::unique_handle process = kxtest::StartProcess(command);
    if (!process) {
        Say(L"cannot start rundll32");
        return 1;
    }
    HWND dialog = kxtest::WaitForMountDialog(20000);
    const int result = dialog != nullptr ? DriveTheDialog(dialog, network, kxtest::ToWindowsPath(argv[2])) : 2;
    if (dialog == nullptr) {
        Say(L"no dialog appeared");
    }
    const bool ended = ::WaitForSingleObject(process.get(), 20000) == WAIT_OBJECT_0;
    Say(ended ? L"the Mount command has ended" : L"the Mount command is still running");
    return result;
}
