#include "mount/mount_command.h"

#include "commands/verb_prologue.h"
#include "common/hresult_error.h"
#include "common/trace.h"
#include "localization/localized_text.h"
#include "localization/server_language.h"
#include "mount/mount_dialog.h"
#include "utilities/utilities.h"

#include <memory>

namespace kx {

namespace {

constexpr UINT ShareListCapacity = 256;

struct ShareList {
    UINT count = 0;
    ShareNameSlot slots[ShareListCapacity] = {};
};

void RunMountCommand(HWND hwnd, HINSTANCE hinst, LPSTR commandLine)
{
    CountedString host;
    if (!ResolveVerbDevice(L"ShellCommandMount: uuid found: %s\r\n", hwnd, hinst, commandLine, host)) {
        return;
    }
    const CountedString deviceName = DeviceFolder(host);
    auto shares = std::make_unique<ShareList>();
    if (CUtilities::GetDeviceShares(deviceName.Text(), &shares->count, ShareListCapacity, shares->slots) == 0) {
        return;
    }
    StandardShareCount = 0;
    const LanguageIndex serverLanguage =
        GetServerLangIndex(shares->slots, static_cast<int>(shares->count), StandardShareCount);
    if (StandardShareCount == 0) {
        ::MessageBoxW(hwnd, NoStandardSharesWarning().Text(), nullptr, MB_ICONWARNING);
        return;
    }
    TraceLine(L"serverLangIndex: %d\r\n", serverLanguage);
    RunMountDialog(host, shares->slots, shares->count);
}

} // namespace

} // namespace kx

void CALLBACK ShellCommandMount(HWND hwnd, HINSTANCE hinst, LPSTR commandLine, int /*showCommand*/)
{
    kx::RunExportGuarded([&] { kx::RunMountCommand(hwnd, hinst, commandLine); });
}
