#include "utilities/utilities.h"

#include "common/trace.h"
#include "common/unique_handle.h"

#include <shellapi.h>

namespace kx {

BOOL CUtilities::LaunchExplorer(const wchar_t* target)
{
    SHELLEXECUTEINFOW request = {};
    request.cbSize = sizeof(request);
    request.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    request.hwnd = nullptr;
    request.lpVerb = L"open";
    request.lpFile = target;
    request.lpParameters = L"";
    request.lpDirectory = L"";
    request.nShow = SW_SHOWNORMAL;

    TraceLineToSink(L"CUtilities::Entering LaunchExplorer...\r\n");
    TraceLineToSink(L"CUtilities::LaunchExplorer -- LaunchExplorer Params: %s\r\n", target);
    const BOOL launched = ::ShellExecuteExW(&request);
    // Nobody waits on the started process, so its handle is not kept.
    unique_handle startedProcess(request.hProcess);
    if (!launched) {
        TraceLineToSink(L"CUtilities::LaunchExplorer -- ShellExecuteEx Failed! Params: %s\r\n", target);
    }
    TraceLineToSink(L"Exiting CUtilities::LaunchExplorer...\r\n");
    return launched;
}

} // namespace kx
