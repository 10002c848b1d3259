#pragma once

#include <cstddef>

namespace kx {

constexpr std::size_t TraceBufferLength = 300;

enum class TraceRoute {
    FormatOnly, // the line is formatted into the trace buffer and goes no further
    ToSink, // the line is formatted and then handed to the trace sink
};

// Formats one diagnostics line printf-style ("%s" takes a wide string, "%d" a 32-bit integer)
// into the process-wide trace buffer, cut to fit and always terminated.
void TraceLine(const wchar_t* format, ...) noexcept;
// As TraceLine, then hands the buffer to the trace sink.
void TraceLineToSink(const wchar_t* format, ...) noexcept;

// The last line formatted.
const wchar_t* TraceBuffer() noexcept;

// Receives every formatted line. Exactly one sink is linked into a binary: the silent one in
// the shipped library, the debugger one in the trace build, a recorder in the tests.
void TraceSink(const wchar_t* line, TraceRoute route) noexcept;

} // namespace kx
