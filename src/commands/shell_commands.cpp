#include "commands/shell_commands.h"

#include "commands/device_identity.h"
#include "common/counted_string.h"
#include "common/hresult_error.h"
#include "common/trace.h"
#include "utilities/utilities.h"

namespace kx {

namespace {

using TargetBuilder = CountedString (*)(const CountedString& host);

CountedString BuildFolderTarget(const CountedString& host)
{
    return CountedString::Concat(CountedString::Make(L"\\\\"), host);
}

CountedString BuildConnectorTarget(const CountedString& host)
{
    const CountedString connectPath = CountedString::Make(L"/Connect");
    const CountedString siteAddress = CountedString::Concat(CountedString::Make(L"http://"), host);
    return CountedString::Concat(siteAddress, connectPath);
}

// The flow both verbs share: find the device, resolve its host, launch what the verb targets.
void RunLaunchVerb(const wchar_t* udnTraceFormat, HWND hwnd, HINSTANCE hinst, LPSTR commandLine,
                   TargetBuilder buildTarget)
{
    TraceHandlerEntry(hwnd, hinst);
    CountedString udn;
    if (!ExtractDeviceUdn(commandLine, udn)) {
        return;
    }
    TraceLine(udnTraceFormat, udn.Text());
    CountedString host = CountedString::Make(nullptr);
    if (!ResolveDeviceHost(udn, host)) {
        return;
    }
    const CountedString target = buildTarget(host);
    CUtilities::LaunchExplorer(target.Text());
}

int HandleAsTraceNumber(const void* handle) noexcept
{
    return static_cast<int>(reinterpret_cast<INT_PTR>(handle));
}

} // namespace

void TraceHandlerEntry(HWND hwnd, HINSTANCE hinst) noexcept
{
    TraceLine(L"hwnd: %d\r\n", HandleAsTraceNumber(hwnd));
    TraceLine(L"hinst: %d\r\n", HandleAsTraceNumber(hinst));
}

} // namespace kx

void CALLBACK ShellCommandOpen(HWND hwnd, HINSTANCE hinst, LPSTR commandLine, int /*showCommand*/)
{
    kx::RunExportGuarded([&] {
        kx::RunLaunchVerb(L"ShellCommandOpen: uuid found: %s\r\n", hwnd, hinst, commandLine, kx::BuildFolderTarget);
    });
}

void CALLBACK ShellCommandInstallConnect(HWND hwnd, HINSTANCE hinst, LPSTR commandLine, int /*showCommand*/)
{
    kx::RunExportGuarded([&] {
        kx::RunLaunchVerb(L"ShellCommandInstallConnect: uuid found: %s\r\n", hwnd, hinst, commandLine,
                          kx::BuildConnectorTarget);
    });
}
