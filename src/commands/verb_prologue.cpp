#include "commands/verb_prologue.h"

#include "commands/device_identity.h"
#include "common/trace.h"

namespace kx {

namespace {

int HandleAsTraceNumber(const void* handle) noexcept
{
    return static_cast<int>(reinterpret_cast<INT_PTR>(handle));
}

void TraceHandlerEntry(HWND hwnd, HINSTANCE hinst) noexcept
{
    TraceLine(L"hwnd: %d\r\n", HandleAsTraceNumber(hwnd));
    TraceLine(L"hinst: %d\r\n", HandleAsTraceNumber(hinst));
}

} // namespace

bool ResolveVerbDevice(const wchar_t* udnTraceFormat, HWND hwnd, HINSTANCE hinst, LPSTR commandLine,
                       CountedString& host)
{
    TraceHandlerEntry(hwnd, hinst);
    CountedString udn;
    if (!ExtractDeviceUdn(commandLine, udn)) {
        return false;
    }
    TraceLine(udnTraceFormat, udn.Text());
    host = CountedString::Make(nullptr);
    return ResolveDeviceHost(udn, host);
}

CountedString DeviceFolder(const CountedString& host)
{
    return CountedString::Concat(CountedString::Make(L"\\\\"), host);
}

} // namespace kx
