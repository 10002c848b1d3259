#include "common/hresult_error.h"

namespace kx {

void ThrowOutOfMemory()
{
    throw HResultError(E_OUTOFMEMORY);
}

void ThrowLastError()
{
    throw HResultError(HRESULT_FROM_WIN32(::GetLastError()));
}

} // namespace kx
