// Times one verb run through rundll32 against a simulated device, next to rundll32 running the
// same entry on a command line without a device identity (loading the library and returning)
// and rundll32 running an empty entry of a tiny library (what rundll32 costs on its own).
//
// Usage: kx_verb_bench [runs] [empty library]

#include "simulated_device.h"
#include "test_environment.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

double MillisecondsPerRun(const std::wstring& commandLine, int runs)
{
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    for (int run = 0; run < runs; ++run) {
        kxtest::RunProcess(commandLine, 60000);
    }
    ::QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart) / runs;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const int runs = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 20;
    kxtest::SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas-bench:5000/rootDesc.xml");
    ::SetEnvironmentVariableW(L"KX_LAUNCH_LOG", L"NUL");
    const wchar_t* entry = L"ShellCommandInstallConnect";
    MillisecondsPerRun(kxtest::Rundll32Command(entry, device.Udn()), 2); // warm the prefix's caches first
    const std::wstring emptyLibrary = argc > 2 ? kxtest::ToWindowsPath(argv[2]) : L"";
    const double empty =
        emptyLibrary.empty()
            ? 0.0
            : MillisecondsPerRun(L"rundll32.exe " + emptyLibrary + L",EmptyEntry " + device.Udn(), runs);
    const double baseline = MillisecondsPerRun(kxtest::Rundll32Command(entry, L"no-identity"), runs);
    const double verb = MillisecondsPerRun(kxtest::Rundll32Command(entry, device.Udn()), runs);
    std::printf("runs per case: %d\n", runs);
    std::printf("rundll32, empty entry: %.1f ms\n", empty);
    std::printf("rundll32, entry without identity: %.1f ms\n", baseline);
    std::printf("rundll32, Install Connector verb: %.1f ms\n", verb);
    std::printf("ratio verb / baseline: %.2f\n", baseline > 0 ? verb / baseline : 0.0);
    std::printf("ratio verb / empty entry: %.2f\n", empty > 0 ? verb / empty : 0.0);
    return 0;
}
