#pragma once

#include <windows.h>

namespace kx {

// Raised when a string cannot be built or the command line cannot be converted. It ends the
// exported call that is running; RunExportGuarded makes sure it never crosses the DLL boundary.
class HResultError {
public:
    explicit HResultError(HRESULT code) noexcept : code_(code) {}
    HRESULT Code() const noexcept { return code_; }

private:
    HRESULT code_;
};

[[noreturn]] void ThrowOutOfMemory();
[[noreturn]] void ThrowLastError();

// Runs the body of an exported function; whatever it raises ends the call silently.
template <typename Body>
void RunExportGuarded(Body&& body) noexcept
{
    try {
        body();
    } catch (...) {
    }
}

} // namespace kx
