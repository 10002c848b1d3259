#include "common/trace.h"

namespace kx {

// The shipped library says nothing: no line leaves the process.
void TraceSink(const wchar_t*, TraceRoute) noexcept {}

} // namespace kx
