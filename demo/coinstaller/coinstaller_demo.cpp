// Plays the device-installation framework for the main job: loads the library from the path it
// is given and calls its co-installer entry once with the given install-function code
// (32 registers the device's Network Explorer keys, 5 removes them), with a real device
// information set that holds one phantom device element.
//
//   kx_coinstaller_demo.exe <path of KXBL_VNTRTZ71_2_2_0.dll> <install-function code>
//
// Exit code: the entry's result, or 2 for bad arguments, 3 when the library or its entry
// cannot be loaded, 4 when no device information set can be made.
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cwchar>

namespace {

using CoInstallerEntry = DWORD(WINAPI*)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA, PCOINSTALLER_CONTEXT_DATA);

// A device class of the demo's own, so that the phantom element is never taken for real.
const GUID DemoDeviceClass = {0x6b1c0d2e, 0x41a7, 0x4c1f, {0x9e, 0x20, 0x5d, 0x7a, 0x11, 0x83, 0xc4, 0x03}};

DWORD CallEntry(CoInstallerEntry entry, DI_FUNCTION code)
{
    const HDEVINFO devices = ::SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (devices == INVALID_HANDLE_VALUE) {
        std::fwprintf(stderr, L"SetupDiCreateDeviceInfoList failed: %lu\n", ::GetLastError());
        return 4;
    }
    SP_DEVINFO_DATA element = {};
    element.cbSize = sizeof(element);
    const bool haveElement = ::SetupDiCreateDeviceInfoW(devices, L"KXDEMO", &DemoDeviceClass, nullptr, nullptr,
                                                        DICD_GENERATE_ID, &element) != FALSE;
    const DWORD result = entry(code, devices, haveElement ? &element : nullptr, nullptr);
    ::SetupDiDestroyDeviceInfoList(devices);
    return result;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    wchar_t* end = nullptr;
    const unsigned long code = argc == 3 ? std::wcstoul(argv[2], &end, 10) : 0;
    if (argc != 3 || end == argv[2] || *end != L'\0') {
        std::fwprintf(stderr, L"usage: kx_coinstaller_demo <library path> <install-function code>\n");
        return 2;
    }
    const HMODULE library = ::LoadLibraryW(argv[1]);
    const auto entry =
        library == nullptr
            ? nullptr
            : reinterpret_cast<CoInstallerEntry>(reinterpret_cast<void*>(::GetProcAddress(library, "CoDeviceInstall")));
    if (entry == nullptr) {
        std::fwprintf(stderr, L"cannot load CoDeviceInstall from %ls: %lu\n", argv[1], ::GetLastError());
        return 3;
    }
    const DWORD result = CallEntry(entry, static_cast<DI_FUNCTION>(code));
    std::wprintf(L"CoDeviceInstall(%lu) returned %lu\n", code, result);
    ::FreeLibrary(library);
    return static_cast<int>(result);
}
