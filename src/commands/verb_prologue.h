#pragma once

#include "common/counted_string.h"

#include <windows.h>

namespace kx {

// How every verb starts: traces the handles rundll32 passed, takes the device's UDN from the
// command line, traces it with udnTraceFormat ("%s" stands for the UDN) and resolves the
// device's host into host. Returns false when the line names no device or the device cannot be
// resolved; raises HResultError when a string cannot be built.
bool ResolveVerbDevice(const wchar_t* udnTraceFormat, HWND hwnd, HINSTANCE hinst, LPSTR commandLine,
                       CountedString& host);

// \\host: the device's folder on the network.
CountedString DeviceFolder(const CountedString& host);

} // namespace kx
