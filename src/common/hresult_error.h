#pragma once

#include <windows.h>

#include <new>

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

// Runs the body of an exported function that answers an HRESULT; what it raises becomes the
// answer instead.
template <typename Body>
HRESULT ResultOfGuarded(Body&& body) noexcept
{
    try {
        return body();
    } catch (const HResultError& error) {
        return error.Code();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace kx
