#include "commands/shell_commands.h"

#include "commands/verb_prologue.h"
#include "common/counted_string.h"
#include "common/hresult_error.h"
#include "utilities/utilities.h"

namespace kx {

namespace {

using TargetBuilder = CountedString (*)(const CountedString& host);

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
    CountedString host;
    if (!ResolveVerbDevice(udnTraceFormat, hwnd, hinst, commandLine, host)) {
        return;
    }
    const CountedString target = buildTarget(host);
    CUtilities::LaunchExplorer(target.Text());
}

} // namespace

} // namespace kx

void CALLBACK ShellCommandOpen(HWND hwnd, HINSTANCE hinst, LPSTR commandLine, int /*showCommand*/)
{
    kx::RunExportGuarded([&] {
        kx::RunLaunchVerb(L"ShellCommandOpen: uuid found: %s\r\n", hwnd, hinst, commandLine, kx::DeviceFolder);
    });
}

void CALLBACK ShellCommandInstallConnect(HWND hwnd, HINSTANCE hinst, LPSTR commandLine, int /*showCommand*/)
{
    kx::RunExportGuarded([&] {
        kx::RunLaunchVerb(L"ShellCommandInstallConnect: uuid found: %s\r\n", hwnd, hinst, commandLine,
                          kx::BuildConnectorTarget);
    });
}
