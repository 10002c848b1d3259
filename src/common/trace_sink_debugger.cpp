#include "common/trace.h"

#include <windows.h>

namespace kx {

// Diagnostic build: lines meant for the sink go to the debugger (DebugView, WinDbg).
void TraceSink(const wchar_t* line, TraceRoute route) noexcept
{
    if (route == TraceRoute::ToSink) {
        ::OutputDebugStringW(line);
    }
}

} // namespace kx
