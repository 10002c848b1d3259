#pragma once

#include <windows.h>

namespace kxtest {

// Swaps one entry of a module's import address table for the length of a scope, so that a test
// can capture or fail one Windows call made by that module. The module's other callers and
// every other module keep the real function.
class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* importedDll, const char* functionName, const void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool Installed() const { return slot_ != nullptr; }
    // The function the table held before, for a replacement that passes calls on.
    template <typename Function>
    Function Original() const
    {
        return reinterpret_cast<Function>(original_);
    }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// The module that holds the code under test when it is linked into the test program.
HMODULE TestProgramModule();

// The system's own export, for a replacement installed by ImportPatch that passes calls on:
// calling through the patched import would land in the replacement again.
template <typename Function>
Function RealFunction(const wchar_t* module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(module), name)));
}

} // namespace kxtest
