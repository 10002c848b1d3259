#include "coinstaller/entry/coinstaller_entry.h"
#include "coinstaller/registration/verb_registration.h"
#include "common/bounded_text.h"
#include "device_info_set.h"
#include "import_patch.h"
#include "network_explorer_expectations.h"
#include "registry_call_log.h"
#include "trace_recorder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using EntryFunction = decltype(&CoDeviceInstall);

// Counts the SetupAPI calls of the test program and can make reading the parameters fail.
struct SetupApiState {
    int getCalls = 0;
    int setCalls = 0;
    bool failGet = false;
    std::vector<PSP_DEVINFO_DATA> elements;
};
SetupApiState g_setupApi;

BOOL WINAPI GetParamsLogged(HDEVINFO set, PSP_DEVINFO_DATA element, PSP_DEVINSTALL_PARAMS_W params)
{
    ++g_setupApi.getCalls;
    g_setupApi.elements.push_back(element);
    if (g_setupApi.failGet) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return kxtest::RealFunction<decltype(&::SetupDiGetDeviceInstallParamsW)>(
        L"setupapi.dll", "SetupDiGetDeviceInstallParamsW")(set, element, params);
}

BOOL WINAPI SetParamsLogged(HDEVINFO set, PSP_DEVINFO_DATA element, PSP_DEVINSTALL_PARAMS_W params)
{
    ++g_setupApi.setCalls;
    g_setupApi.elements.push_back(element);
    return kxtest::RealFunction<decltype(&::SetupDiSetDeviceInstallParamsW)>(
        L"setupapi.dll", "SetupDiSetDeviceInstallParamsW")(set, element, params);
}

class SetupApiLog {
public:
    SetupApiLog()
        : get_(kxtest::TestProgramModule(), "SETUPAPI.dll", "SetupDiGetDeviceInstallParamsW",
               reinterpret_cast<const void*>(&GetParamsLogged)),
          set_(kxtest::TestProgramModule(), "SETUPAPI.dll", "SetupDiSetDeviceInstallParamsW",
               reinterpret_cast<const void*>(&SetParamsLogged))
    {
        g_setupApi = SetupApiState();
        EXPECT_TRUE(get_.Installed() && set_.Installed());
    }
    ~SetupApiLog() { g_setupApi = SetupApiState(); }

private:
    kxtest::ImportPatch get_;
    kxtest::ImportPatch set_;
};

class CoInstallerEntry : public ::testing::Test {
protected:
    void SetUp() override
    {
        kxtest::DeleteNetworkExplorerKeys();
        kxtest::TraceRecorder::Clear();
    }
    void TearDown() override { kxtest::DeleteNetworkExplorerKeys(); }
};

SP_DEVINSTALL_PARAMS_W ReadParams(kxtest::DeviceInfoSet& devices)
{
    SP_DEVINSTALL_PARAMS_W params = kxtest::EmptyInstallParams();
    ::SetupDiGetDeviceInstallParamsW(devices.Set(), devices.Element(), &params);
    return params;
}

// Parameters that differ from the defaults in every field the framework lets a caller set.
SP_DEVINSTALL_PARAMS_W DistinctParams(kxtest::DeviceInfoSet& devices, DWORD flagsEx)
{
    SP_DEVINSTALL_PARAMS_W params = ReadParams(devices);
    params.Flags |= DI_NOVCP | DI_QUIETINSTALL;
    params.FlagsEx = flagsEx;
    params.hwndParent = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    params.ClassInstallReserved = 0x5678;
    kx::BoundedCopy(params.DriverPath, L"C:\\Drivers\\Vantorel");
    return params;
}

void ExpectSameParams(const SP_DEVINSTALL_PARAMS_W& expected, const SP_DEVINSTALL_PARAMS_W& actual)
{
    EXPECT_EQ(expected.Flags, actual.Flags);
    EXPECT_EQ(expected.FlagsEx, actual.FlagsEx);
    EXPECT_EQ(expected.hwndParent, actual.hwndParent);
    EXPECT_EQ(expected.InstallMsgHandler, actual.InstallMsgHandler);
    EXPECT_EQ(expected.InstallMsgHandlerContext, actual.InstallMsgHandlerContext);
    EXPECT_EQ(expected.FileQueue, actual.FileQueue);
    EXPECT_EQ(expected.ClassInstallReserved, actual.ClassInstallReserved);
    EXPECT_EQ(expected.Reserved, actual.Reserved);
    EXPECT_STREQ(expected.DriverPath, actual.DriverPath);
}

TEST_F(CoInstallerEntry, UnhandledCodesTraceOneLineAndTouchNothing)
{
    const struct {
        DI_FUNCTION code;
        const wchar_t* line;
    } cases[] = {
        {DIF_INSTALLDEVICE, L"Unhandled install function: 2\r\n"},
        {DIF_FINISHINSTALL_ACTION, L"Unhandled install function: 42\r\n"},
        {0xFFFFFFFFu, L"Unhandled install function: -1\r\n"},
    };
    kxtest::DeviceInfoSet devices;
    ASSERT_TRUE(devices.Valid());
    for (const auto& test : cases) {
        kxtest::TraceRecorder::Clear();
        kxtest::RegistryCallLog registry;
        SetupApiLog setupApi;
        EXPECT_EQ(static_cast<DWORD>(NO_ERROR), CoDeviceInstall(test.code, devices.Set(), devices.Element(), nullptr));
        ASSERT_EQ(1u, kxtest::TraceRecorder::Lines().size()) << test.code;
        EXPECT_EQ(test.line, kxtest::TraceRecorder::Lines()[0].text);
        EXPECT_EQ(kx::TraceRoute::FormatOnly, kxtest::TraceRecorder::Lines()[0].route);
        EXPECT_EQ(0, registry.Calls()) << test.code;
        EXPECT_EQ(0, g_setupApi.getCalls + g_setupApi.setCalls) << test.code;
    }
}

TEST_F(CoInstallerEntry, HandledCodesTraceNothing)
{
    kxtest::DeviceInfoSet devices;
    ASSERT_TRUE(devices.Valid());
    for (const DI_FUNCTION code : {DIF_REMOVE, DIF_NEWDEVICEWIZARD_FINISHINSTALL, DIF_INSTALLINTERFACES}) {
        EXPECT_EQ(static_cast<DWORD>(NO_ERROR), CoDeviceInstall(code, devices.Set(), devices.Element(), nullptr));
    }
    EXPECT_TRUE(kxtest::TraceRecorder::Lines().empty());
}

TEST_F(CoInstallerEntry, FinishInstallSetsOnlyTheActionFlag)
{
    for (const DWORD flagsEx : {0x0u, 0x40u, 0x48u}) {
        kxtest::DeviceInfoSet devices;
        ASSERT_TRUE(devices.Valid());
        SP_DEVINSTALL_PARAMS_W before = DistinctParams(devices, flagsEx);
        ASSERT_TRUE(::SetupDiSetDeviceInstallParamsW(devices.Set(), devices.Element(), &before));
        kxtest::RegistryCallLog registry;
        EXPECT_EQ(static_cast<DWORD>(NO_ERROR),
                  CoDeviceInstall(DIF_NEWDEVICEWIZARD_FINISHINSTALL, devices.Set(), devices.Element(), nullptr));
        SP_DEVINSTALL_PARAMS_W expected = before;
        expected.FlagsEx |= DI_FLAGSEX_FINISHINSTALL_ACTION;
        ExpectSameParams(expected, ReadParams(devices));
        EXPECT_EQ(0, registry.Calls());
    }
}

TEST_F(CoInstallerEntry, FinishInstallWritesNothingBackWhenTheParametersCannotBeRead)
{
    kxtest::DeviceInfoSet devices;
    ASSERT_TRUE(devices.Valid());
    const SP_DEVINSTALL_PARAMS_W before = ReadParams(devices);
    {
        SetupApiLog setupApi;
        g_setupApi.failGet = true;
        EXPECT_EQ(static_cast<DWORD>(NO_ERROR),
                  CoDeviceInstall(DIF_NEWDEVICEWIZARD_FINISHINSTALL, devices.Set(), devices.Element(), nullptr));
        EXPECT_EQ(1, g_setupApi.getCalls);
        EXPECT_EQ(0, g_setupApi.setCalls);
    }
    ExpectSameParams(before, ReadParams(devices));
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR),
              CoDeviceInstall(DIF_NEWDEVICEWIZARD_FINISHINSTALL, INVALID_HANDLE_VALUE, nullptr, nullptr));
}

// Without an element the request concerns the set as a whole; the element stays null.
TEST_F(CoInstallerEntry, ANullDeviceElementIsPassedOnAsReceived)
{
    kxtest::DeviceInfoSet devices;
    ASSERT_TRUE(devices.Valid());
    SetupApiLog setupApi;
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR),
              CoDeviceInstall(DIF_NEWDEVICEWIZARD_FINISHINSTALL, devices.Set(), nullptr, nullptr));
    EXPECT_EQ(1, g_setupApi.getCalls);
    for (const PSP_DEVINFO_DATA element : g_setupApi.elements) {
        EXPECT_EQ(nullptr, element);
    }
}

struct EntryOutcome {
    DWORD result;
    std::vector<std::wstring> trace;
    std::wstring registry;
    DWORD flagsEx;
};

EntryOutcome RunEntry(EntryFunction entry, DI_FUNCTION code)
{
    kxtest::DeleteNetworkExplorerKeys();
    kx::LibraryValues values;
    kx::ComposeLibraryValues(kx::SystemLibraryLocation, values);
    kx::RegisterDeviceTypeVerbs(values);
    kxtest::CreateKeys(HKEY_CLASSES_ROOT, kxtest::ExpectedHardwareIdKeyPath, {L"Stale"});
    kxtest::TraceRecorder::Clear();
    kxtest::DeviceInfoSet devices;
    const DWORD result = entry(code, devices.Set(), devices.Element(), nullptr);
    return {result, kxtest::TraceRecorder::Texts(), kxtest::DescribeNetworkExplorerKeys(), ReadParams(devices).FlagsEx};
}

TEST_F(CoInstallerEntry, CoDeviceInstallAndTarnoDAgree)
{
    for (const DI_FUNCTION code :
         {DIF_REMOVE, DIF_NEWDEVICEWIZARD_FINISHINSTALL, DIF_INSTALLINTERFACES, DIF_INSTALLDEVICE}) {
        const EntryOutcome coDeviceInstall = RunEntry(&CoDeviceInstall, code);
        const EntryOutcome tarnoD = RunEntry(&TarnoD, code);
        EXPECT_EQ(coDeviceInstall.result, tarnoD.result) << code;
        EXPECT_EQ(coDeviceInstall.trace, tarnoD.trace) << code;
        EXPECT_EQ(coDeviceInstall.registry, tarnoD.registry) << code;
        EXPECT_EQ(coDeviceInstall.flagsEx, tarnoD.flagsEx) << code;
    }
}

} // namespace
