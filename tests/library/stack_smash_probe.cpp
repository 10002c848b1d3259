// Started by the library tests (StackProtection): loads the library, changes its stack cookie
// while one of its protected functions runs, as an overrun of a buffer of that function that
// reached the copy of the cookie in its frame would, and lets the function return. The library's
// check must end the process in that return, with STATUS_STACK_BUFFER_OVERRUN and no message:
// anything this program prints afterwards, its exit handler included, ran on a smashed stack.
#include "import_patch.h"
#include "product_library.h"

#include <cstdio>
#include <cstdlib>

namespace {

ULONG_PTR* g_cookie = nullptr;

// The library asks for the device finder from a function whose frame the protector guards.
HRESULT WINAPI SmashingCoCreateInstance(REFCLSID /*classId*/, LPUNKNOWN /*outer*/, DWORD /*context*/,
                                        REFIID /*interfaceId*/, LPVOID* object)
{
    *object = nullptr;
    *g_cookie ^= 0x5A5A;
    return REGDB_E_CLASSNOTREG;
}

} // namespace

int main()
{
    std::atexit([] { std::puts("the exit handlers ran"); });
    const kxtest::ProductLibrary library;
    g_cookie = library.StackCookie();
    if (g_cookie == nullptr) {
        std::puts("the library names no stack cookie");
        return 1;
    }
    const kxtest::ImportPatch patch(library.Module(), "ole32.dll", "CoCreateInstance",
                                    reinterpret_cast<const void*>(&SmashingCoCreateInstance));
    if (!patch.Installed()) {
        std::puts("the library does not import CoCreateInstance");
        return 1;
    }
    library.RunVerb(library.Verb("ShellCommandOpen"), "uuid:00000000-0000-0000-0000-000000000001");
    std::puts("the library returned on a smashed stack");
    return 0;
}
