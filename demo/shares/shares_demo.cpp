// kx_demo_shares [--host NAME] [--share NAME] [--trace]
//
// Lists the disk shares of a simulated host through CUtilities::GetDeviceShares and maps one
// through CUtilities::MountDevice, printing the drive letter the system chose. Without --host
// it describes a host "kxnas-demo" of its own for the run. Needs the test prefix and
// WINEDLLOVERRIDES=mpr=n so that the stand-in mpr.dll answers.

#include "common/trace.h"
#include "common/unique_handle.h"
#include "simulated_network.h"
#include "test_environment.h"
#include "utilities/utilities.h"

#include <memory>
#include <string>
#include <vector>
// After the standard headers: its deprecation macros rename the C string functions they name.
#include <strsafe.h>

namespace {

bool g_traceToStderr = false;

void WriteUtf8(DWORD stream, const std::wstring& text)
{
    const std::string utf8 = kxtest::ToUtf8(text);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(stream), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void PrintLine(const std::wstring& line)
{
    WriteUtf8(STD_OUTPUT_HANDLE, line + L"\n");
}

struct Options {
    std::wstring host;
    std::wstring share = L"Music";
    bool ownHost = true;
};

bool ParseOptions(int argc, wchar_t** argv, Options* options)
{
    for (int index = 1; index < argc; ++index) {
        const std::wstring argument = argv[index];
        if (argument == L"--trace") {
            g_traceToStderr = true;
        } else if ((argument == L"--host" || argument == L"--share") && index + 1 < argc) {
            (argument == L"--host" ? options->host : options->share) = argv[++index];
        } else {
            return false;
        }
    }
    options->ownHost = options->host.empty();
    if (options->ownHost) {
        options->host = L"kxnas-demo";
    }
    return true;
}

// Both the list and the drive letter come from the library's own operations.
int ListShares(const std::wstring& host)
{
    constexpr UINT capacity = 256;
    std::unique_ptr<kx::ShareNameSlot[]> slots(new kx::ShareNameSlot[capacity]());
    UINT count = 0;
    const std::wstring deviceName = L"\\\\" + host;
    if (kx::CUtilities::GetDeviceShares(deviceName.c_str(), &count, capacity, slots.get()) != 1) {
        PrintLine(L"Listing the shares of " + deviceName + L" failed");
        return 1;
    }
    PrintLine(L"Shares of " + deviceName + L" (" + std::to_wstring(count) + L"):");
    for (UINT index = 0; index < count; ++index) {
        PrintLine(L"  " + std::wstring(slots[index]));
    }
    return 0;
}

// The drive letter connected to remoteName, as "Z:", or "".
std::wstring LetterConnectedTo(const kxtest::SimulatedNetworkSession& network, const std::wstring& remoteName)
{
    for (wchar_t letter = L'Z'; letter >= L'A'; --letter) {
        if (network.DriveConnection(letter) == remoteName) {
            return std::wstring(1, letter) + L":";
        }
    }
    return {};
}

int MapShare(const kxtest::SimulatedNetworkSession& network, const std::wstring& host, const std::wstring& share)
{
    kx::unique_bstr nas(::SysAllocString(host.c_str()));
    kx::unique_bstr mountShare(::SysAllocString(share.c_str()));
    const HRESULT result =
        kx::CUtilities::MountDevice(nas.get(), nullptr, nullptr, VARIANT_FALSE, nullptr, mountShare.get());
    const std::wstring remoteName = L"\\\\" + host + L"\\" + share;
    if (FAILED(result)) {
        wchar_t code[16] = {};
        ::StringCchPrintfW(code, ARRAYSIZE(code), L"0x%08X", static_cast<unsigned>(result));
        PrintLine(L"Mapping " + remoteName + L" failed: " + code);
        return 2;
    }
    PrintLine(L"Mapped " + remoteName + L" to " + LetterConnectedTo(network, remoteName));
    return 0;
}

} // namespace

namespace kx {

// The library's trace lines go to stderr when asked for.
void TraceSink(const wchar_t* line, TraceRoute route) noexcept
{
    if (g_traceToStderr && route == TraceRoute::ToSink) {
        try {
            WriteUtf8(STD_ERROR_HANDLE, line);
        } catch (...) {
        }
    }
}

} // namespace kx

int wmain(int argc, wchar_t** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        PrintLine(L"usage: kx_demo_shares [--host NAME] [--share NAME] [--trace]");
        return 64;
    }
    if (!kxtest::StandInMprLoaded()) {
        PrintLine(L"The stand-in mpr.dll is not loaded: run in the test prefix with WINEDLLOVERRIDES=mpr=n");
        return 3;
    }
    const kxtest::SimulatedNetworkSession network;
    std::unique_ptr<kxtest::SimulatedShareHost> ownHost;
    if (options.ownHost) {
        ownHost = std::make_unique<kxtest::SimulatedShareHost>(
            options.host, std::vector<std::wstring>{L"Public", L"Music", L"Photos", L"Videos", L"Recorded TV",
                                                    L"|9|\\\\" + options.host + L"\\Backups"});
    }
    const int exitCode = ListShares(options.host);
    return exitCode != 0 ? exitCode : MapShare(network, options.host, options.share);
}
