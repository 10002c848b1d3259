#include "allocation_faults.h"
#include "commands/shell_commands.h"
#include "import_patch.h"
#include "mount/mount_command.h"
#include "simulated_device.h"
#include "trace_recorder.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <winnetwk.h>

#include <string>
#include <vector>

using kxtest::SimulatedUpnpDevice;
using kxtest::TraceRecorder;

namespace {

// What the shell was asked to do, copied field by field while the request was alive.
struct LaunchRequest {
    DWORD size;
    ULONG mask;
    HWND window;
    std::wstring verb;
    std::wstring file;
    bool parametersNull;
    std::wstring parameters;
    bool directoryNull;
    std::wstring directory;
    int show;
};

std::vector<LaunchRequest> g_launches;
BOOL g_launchResult = TRUE;
HANDLE g_processToHandOut = nullptr;

std::wstring TextOrEmpty(const wchar_t* text)
{
    return text != nullptr ? text : L"";
}

BOOL WINAPI RecordingShellExecuteExW(SHELLEXECUTEINFOW* request)
{
    g_launches.push_back({request->cbSize, request->fMask, request->hwnd, TextOrEmpty(request->lpVerb),
                          TextOrEmpty(request->lpFile), request->lpParameters == nullptr,
                          TextOrEmpty(request->lpParameters), request->lpDirectory == nullptr,
                          TextOrEmpty(request->lpDirectory), request->nShow});
    request->hProcess = g_launchResult ? g_processToHandOut : nullptr;
    return g_launchResult;
}

// Mount's first network call: recorded, then refused, so that the command ends there.
std::vector<std::wstring> g_enumeratedDevices;

DWORD WINAPI RecordingWNetOpenEnumW(DWORD, DWORD, DWORD, LPNETRESOURCEW request, LPHANDLE enumeration)
{
    g_enumeratedDevices.push_back(TextOrEmpty(request != nullptr ? request->lpRemoteName : nullptr));
    *enumeration = nullptr;
    return ERROR_BAD_NETPATH;
}

class ShellCommandTest : public ::testing::Test {
protected:
    ShellCommandTest()
        : shellPatch_(kxtest::TestProgramModule(), "SHELL32.dll", "ShellExecuteExW",
                      reinterpret_cast<const void*>(&RecordingShellExecuteExW))
    {
        g_launches.clear();
        g_launchResult = TRUE;
        g_processToHandOut = nullptr;
        TraceRecorder::Clear();
    }
    void SetUp() override { ASSERT_TRUE(shellPatch_.Installed()); }

    static void Run(decltype(&ShellCommandOpen) command, const std::string& commandLine, int show = SW_SHOWNORMAL)
    {
        std::string mutableLine = commandLine;
        command(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234)),
                reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(77)), mutableLine.data(), show);
    }
    static std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

private:
    kxtest::ImportPatch shellPatch_;
};

TEST_F(ShellCommandTest, OpenShowsTheDevicesNetworkFolder)
{
    SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas01:5000/desc.xml");
    Run(ShellCommandOpen, "KXBL_VNTRTZ71_2_2_0.dll,ShellCommandOpen " + Narrow(device.Udn()));
    ASSERT_EQ(1u, g_launches.size());
    EXPECT_EQ(L"\\\\nas01", g_launches[0].file);
}

TEST_F(ShellCommandTest, InstallConnectOpensTheConnectorPageWithoutThePort)
{
    SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas01:5000/desc.xml");
    Run(ShellCommandInstallConnect, Narrow(device.Udn()));
    ASSERT_EQ(1u, g_launches.size());
    EXPECT_EQ(L"http://nas01/Connect", g_launches[0].file);
}

TEST_F(ShellCommandTest, TheLaunchRequestIsFilledExactly)
{
    SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas01/desc.xml");
    Run(ShellCommandOpen, Narrow(device.Udn()), SW_HIDE);
    ASSERT_EQ(1u, g_launches.size());
    const LaunchRequest& request = g_launches[0];
    EXPECT_EQ(sizeof(SHELLEXECUTEINFOW), request.size);
    EXPECT_EQ(0x440u, request.mask);
    EXPECT_EQ(nullptr, request.window);
    EXPECT_EQ(L"open", request.verb);
    EXPECT_FALSE(request.parametersNull);
    EXPECT_EQ(L"", request.parameters);
    EXPECT_FALSE(request.directoryNull);
    EXPECT_EQ(L"", request.directory);
    EXPECT_EQ(SW_SHOWNORMAL, request.show);
}

TEST_F(ShellCommandTest, ASuccessfulLaunchTracesItsSteps)
{
    SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas01/desc.xml");
    Run(ShellCommandInstallConnect, Narrow(device.Udn()));
    const std::vector<std::wstring> expected = {
        L"hwnd: 4660\r\n",
        L"hinst: 77\r\n",
        L"ShellCommandInstallConnect: uuid found: " + device.Udn() + L"\r\n",
        L"CUtilities::Entering LaunchExplorer...\r\n",
        L"CUtilities::LaunchExplorer -- LaunchExplorer Params: http://nas01/Connect\r\n",
        L"Exiting CUtilities::LaunchExplorer...\r\n",
    };
    EXPECT_EQ(expected, TraceRecorder::Texts());
    const std::vector<std::wstring> sunk(expected.begin() + 3, expected.end());
    EXPECT_EQ(sunk, TraceRecorder::SinkTexts());
}

TEST_F(ShellCommandTest, ARefusedLaunchIsTracedAndNothingElseHappens)
{
    g_launchResult = FALSE;
    SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas01/desc.xml");
    Run(ShellCommandOpen, Narrow(device.Udn()));
    const std::vector<std::wstring> expected = {
        L"CUtilities::Entering LaunchExplorer...\r\n",
        L"CUtilities::LaunchExplorer -- LaunchExplorer Params: \\\\nas01\r\n",
        L"CUtilities::LaunchExplorer -- ShellExecuteEx Failed! Params: \\\\nas01\r\n",
        L"Exiting CUtilities::LaunchExplorer...\r\n",
    };
    EXPECT_EQ(expected, TraceRecorder::SinkTexts());
}

TEST_F(ShellCommandTest, WithoutUuidOnlyTheEntryIsTraced)
{
    const LONG findsBefore = kxtest::UpnpFinderStatistics().findByUdnCalls;
    Run(ShellCommandOpen, "KXBL_VNTRTZ71_2_2_0.dll,ShellCommandOpen UUID:abc");
    EXPECT_EQ((std::vector<std::wstring>{L"hwnd: 4660\r\n", L"hinst: 77\r\n"}), TraceRecorder::Texts());
    EXPECT_TRUE(g_launches.empty());
    EXPECT_EQ(findsBefore, kxtest::UpnpFinderStatistics().findByUdnCalls);
}

TEST_F(ShellCommandTest, AnUnknownDeviceLaunchesNothing)
{
    const std::string udn = Narrow(kxtest::NewUdn());
    Run(ShellCommandOpen, udn);
    EXPECT_EQ(3u, TraceRecorder::Texts().size());
    EXPECT_EQ(L"ShellCommandOpen: uuid found: " + std::wstring(udn.begin(), udn.end()) + L"\r\n",
              TraceRecorder::Texts().back());
    EXPECT_TRUE(g_launches.empty());
}

// Whoever answers for the UDN names the host: no verb may act on one that is not a host name.
TEST_F(ShellCommandTest, EveryVerbActsOnlyOnAPlausibleHost)
{
    kxtest::ImportPatch enumeration(kxtest::TestProgramModule(), "MPR.dll", "WNetOpenEnumW",
                                    reinterpret_cast<const void*>(&RecordingWNetOpenEnumW));
    ASSERT_TRUE(enumeration.Installed());
    const struct {
        const wchar_t* url;
        const wchar_t* host; // as the trace shows a refused one
        bool refused;
    } cases[] = {
        {L"http://?\\unix\\usr\\bin\\xterm/d.xml", L"?\\unix\\usr\\bin\\xterm", true},
        {L"http://evilpc\\share\\evil.exe/d.xml", L"evilpc\\share\\evil.exe", true},
        {L"http://a\" --evil-flag \"x/d.xml", L"a\" --evil-flag \"x", true},
        {L"http://nas\r\nforged/d.xml", L"nas??forged", true},
        {L"http:///d.xml", L"", true},
        {L"http://NAS-01.lan:5000/d.xml", L"NAS-01.lan", false},
    };
    for (const auto& test : cases) {
        SimulatedUpnpDevice device(kxtest::NewUdn(), test.url);
        g_launches.clear();
        g_enumeratedDevices.clear();
        TraceRecorder::Clear();
        for (auto command : {ShellCommandOpen, ShellCommandInstallConnect, ShellCommandMount}) {
            Run(command, Narrow(device.Udn()));
        }
        std::vector<std::wstring> launched;
        for (const LaunchRequest& launch : g_launches) {
            launched.push_back(launch.file);
        }
        const std::wstring host = test.host;
        if (test.refused) {
            EXPECT_TRUE(launched.empty()) << test.url;
            EXPECT_TRUE(g_enumeratedDevices.empty()) << test.url;
            EXPECT_EQ(std::vector<std::wstring>(3, L"ResolveDeviceHost -- not a host name, device ignored: \"" + host +
                                                       L"\"\r\n"),
                      TraceRecorder::SinkTexts())
                << test.url;
        } else {
            EXPECT_EQ((std::vector<std::wstring>{L"\\\\" + host, L"http://" + host + L"/Connect"}), launched);
            EXPECT_EQ(std::vector<std::wstring>{L"\\\\" + host}, g_enumeratedDevices);
        }
    }
}

TEST_F(ShellCommandTest, AProcessHandleFromTheShellIsClosed)
{
    g_processToHandOut = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas01/desc.xml");
    Run(ShellCommandInstallConnect, Narrow(device.Udn()));
    ASSERT_EQ(1u, g_launches.size());
    DWORD flags = 0;
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(::GetHandleInformation(g_processToHandOut, &flags));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), ::GetLastError());
}

TEST_F(ShellCommandTest, OutOfMemoryAnywhereEndsTheCallSilentlyAndLeaksNothing)
{
    SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas01/desc.xml");
    for (auto command : {ShellCommandOpen, ShellCommandInstallConnect}) {
        for (int failing = 0;; ++failing) {
            g_launches.clear();
            kxtest::AllocationFaults faults(kxtest::TestProgramModule(), failing);
            Run(command, Narrow(device.Udn()));
            EXPECT_EQ(0, faults.Outstanding()) << "allocation " << failing;
            EXPECT_EQ(0, kxtest::UpnpFinderStatistics().liveObjects) << "allocation " << failing;
            if (!faults.InjectedFailure()) {
                EXPECT_EQ(1u, g_launches.size());
                break;
            }
            EXPECT_TRUE(g_launches.empty()) << "allocation " << failing;
        }
    }
}

} // namespace
