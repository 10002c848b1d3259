// Times DIF_INSTALLINTERFACES through the built library against writing the same two trees with
// plain registry calls (delete both, then create every key and set every value). Not a test:
// scripts/bench.sh runs it. Usage: kx_install_bench [runs]

#include "coinstaller/registration/network_explorer_keys.h"
#include "device_info_set.h"
#include "registry_snapshot.h"
#include "test_environment.h"

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

using CoInstallerEntry = DWORD(WINAPI*)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA, PCOINSTALLER_CONTEXT_DATA);

double MicrosecondsPerRun(int runs, const std::function<void()>& run)
{
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    for (int index = 0; index < runs; ++index) {
        run();
    }
    ::QueryPerformanceCounter(&end);
    return 1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart) / runs;
}

void WriteTree(const std::wstring& top, const kxtest::RegistrySnapshot& tree)
{
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, top.c_str());
    for (const auto& key : tree) {
        const std::wstring path = key.first.empty() ? top : top + L"\\" + key.first;
        HKEY created = nullptr;
        if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created,
                              nullptr) != ERROR_SUCCESS) {
            continue;
        }
        for (const auto& value : key.second) {
            ::RegSetValueExW(created, value.first.empty() ? nullptr : value.first.c_str(), 0, value.second.type,
                             value.second.data.data(), static_cast<DWORD>(value.second.data.size()));
        }
        ::RegCloseKey(created);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const int runs = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 200;
    HMODULE library = ::LoadLibraryW(kxtest::ProductDllPath().c_str());
    auto entry =
        library == nullptr
            ? nullptr
            : reinterpret_cast<CoInstallerEntry>(reinterpret_cast<void*>(::GetProcAddress(library, "CoDeviceInstall")));
    kxtest::DeviceInfoSet devices;
    if (entry == nullptr || !devices.Valid()) {
        std::printf("the library or a device information set is missing\n");
        return 1;
    }
    const auto install = [&] { entry(DIF_INSTALLINTERFACES, devices.Set(), devices.Element(), nullptr); };
    install();
    const kxtest::RegistrySnapshot hardwareId = kxtest::TakeRegistrySnapshot(HKEY_CLASSES_ROOT, kx::HardwareIdKeyPath);
    const kxtest::RegistrySnapshot deviceType = kxtest::TakeRegistrySnapshot(HKEY_CLASSES_ROOT, kx::DeviceTypeKeyPath);
    const double plain = MicrosecondsPerRun(runs, [&] {
        WriteTree(kx::DeviceTypeKeyPath, deviceType);
        WriteTree(kx::HardwareIdKeyPath, hardwareId);
    });
    const double libraryInstall = MicrosecondsPerRun(runs, install);
    const auto unchanged = [](const wchar_t* path, const kxtest::RegistrySnapshot& written) {
        return kxtest::DescribeSnapshot(kxtest::TakeRegistrySnapshot(HKEY_CLASSES_ROOT, path)) ==
               kxtest::DescribeSnapshot(written);
    };
    const bool same = unchanged(kx::HardwareIdKeyPath, hardwareId) && unchanged(kx::DeviceTypeKeyPath, deviceType);
    entry(DIF_REMOVE, devices.Set(), devices.Element(), nullptr);
    std::printf("runs per case: %d; keys %zu, trees equal afterwards: %s\n", runs,
                hardwareId.size() + deviceType.size(), same ? "yes" : "NO");
    std::printf("plain registry calls: %.1f us\n", plain);
    std::printf("DIF_INSTALLINTERFACES: %.1f us\n", libraryInstall);
    std::printf("ratio install / plain: %.2f\n", plain > 0 ? libraryInstall / plain : 0.0);
    return same ? 0 : 1;
}
