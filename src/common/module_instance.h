#pragma once

#include <windows.h>

namespace kx {

// The library's own module handle, recorded by DllMain; the mount dialog loads its template
// from it.
extern HINSTANCE ModuleInstance;

} // namespace kx
