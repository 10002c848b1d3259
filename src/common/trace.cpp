#include "common/trace.h"

#include <windows.h>
#include <cstdarg>
#include <strsafe.h>

namespace kx {

namespace {

wchar_t g_traceBuffer[TraceBufferLength];

void FormatTraceLine(TraceRoute route, const wchar_t* format, va_list arguments) noexcept
{
    // A line that does not fit is cut; StringCchVPrintfW still terminates it.
    ::StringCchVPrintfW(g_traceBuffer, TraceBufferLength, format, arguments);
    g_traceBuffer[TraceBufferLength - 1] = L'\0';
    TraceSink(g_traceBuffer, route);
}

} // namespace

void TraceLine(const wchar_t* format, ...) noexcept
{
    va_list arguments;
    va_start(arguments, format);
    FormatTraceLine(TraceRoute::FormatOnly, format, arguments);
    va_end(arguments);
}

void TraceLineToSink(const wchar_t* format, ...) noexcept
{
    va_list arguments;
    va_start(arguments, format);
    FormatTraceLine(TraceRoute::ToSink, format, arguments);
    va_end(arguments);
}

const wchar_t* TraceBuffer() noexcept
{
    return g_traceBuffer;
}

} // namespace kx
