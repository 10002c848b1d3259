#include "common/module_instance.h"

// Runs under the loader lock: it records the handle and does nothing else.
BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD reason, LPVOID /*reserved*/)
{
    if (reason == DLL_PROCESS_ATTACH || reason == DLL_THREAD_ATTACH) {
        kx::ModuleInstance = hinstDLL;
    }
    return TRUE;
}
