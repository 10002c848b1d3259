#pragma once

#include <windows.h>

namespace kxtest {

// The system's own export, for a replacement installed by ImportPatch that passes calls on:
// calling through the patched import would land in the replacement again.
template <typename Function>
Function RealFunction(const wchar_t* module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(module), name)));
}

} // namespace kxtest
