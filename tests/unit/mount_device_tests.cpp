// Drive mapping against the stand-in mpr.dll: the connection request the product makes, the
// results it gives back, and its trace.

#include "common/unique_handle.h"
#include "simulated_network.h"
#include "test_environment.h"
#include "trace_recorder.h"
#include "utilities/utilities.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using kx::CUtilities;
using kx::unique_bstr;
using kxtest::SimulatedShareHost;

namespace {

unique_bstr Bstr(const std::wstring& text)
{
    return unique_bstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

class MountDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kxtest::StandInMprLoaded()) << "run with WINEDLLOVERRIDES=mpr=n";
        kxtest::TraceRecorder::Clear();
    }

    // The mount dialog's way of calling: everything but host and share absent.
    HRESULT MountPlain(BSTR nas, BSTR share)
    {
        return CUtilities::MountDevice(nas, nullptr, nullptr, 0, nullptr, share);
    }

    std::string ConnectCall(const std::wstring& remoteName, const std::string& outcome) const
    {
        return "WNetUseConnectionW owner=NULL resource={scope=0 type=1 display=0 usage=0 local=\"\" remote=\"" +
               kxtest::ToUtf8(remoteName) +
               "\" comment=\"\" provider=NULL} password=NULL user=NULL flags=0x80 access=buffer size=260 -> " + outcome;
    }

    kxtest::SimulatedNetworkSession network;
    SimulatedShareHost host{{L"Public", L"Music", L"Photos"}};
};

TEST_F(MountDevice, MapsTheNamedShareToTheFirstFreeLetter)
{
    EXPECT_EQ(S_OK, MountPlain(Bstr(host.Name()).get(), Bstr(L"Music").get()));
    const std::wstring remoteName = host.Unc() + L"\\Music";
    EXPECT_EQ((std::vector<std::string>{ConnectCall(remoteName, "0 access=\"Z:\"")}), network.Calls());
    EXPECT_EQ(remoteName, network.DriveConnection(L'Z'));
}

TEST_F(MountDevice, TracesEveryStageOfAPlainMapping)
{
    MountPlain(Bstr(host.Name()).get(), Bstr(L"Music").get());
    EXPECT_EQ((std::vector<std::wstring>{
                  L"Entering CUtilities::MountDevice...\r\n",
                  L"CUtilities::MountDevice -- bstrNas: " + host.Name() + L"\r\n",
                  L"CUtilities::MountDevice -- bstrShare is NULL\r\n",
                  L"CUtilities::MountDevice -- bstrDriveLetter is NULL\r\n",
                  L"CUtilities::MountDevice -- vbUpdateProfile is FALSE\r\n",
                  L"CUtilities::MountDevice -- pbstrAccessName is NULL\r\n",
                  L"CUtilities::MountDevice -- Vantorel mount share: Music\r\n",
                  L"CUtilities::MountDevice -- Stage 1 Complete...\r\n",
                  L"CUtilities::MountDevice -- nr.lpLocalName: \r\n",
                  L"CUtilities::MountDevice -- nr.lpRemoteName: " + host.Unc() + L"\\Music\r\n",
                  L"CUtilities::MountDevice -- Stage 2 Complete...\r\n",
                  L"CUtilities::MountDevice -- Stage 3 Complete...\r\n",
                  L"CUtilities::Exiting MountDevice...\r\n",
              }),
              kxtest::TraceRecorder::SinkTexts());
}

TEST_F(MountDevice, WithoutAShareMapsPublic)
{
    EXPECT_EQ(S_OK, MountPlain(Bstr(host.Name()).get(), nullptr));
    EXPECT_EQ((std::vector<std::string>{ConnectCall(host.Unc() + L"\\Public", "0 access=\"Z:\"")}), network.Calls());
    EXPECT_EQ(L"CUtilities::MountDevice -- Vantorel mount share is NULL\r\n", kxtest::TraceRecorder::SinkTexts()[6]);
}

TEST_F(MountDevice, EachMappingTakesTheNextFreeLetterDownwards)
{
    network.MakeLettersBusy(L"Z");
    EXPECT_EQ(S_OK, MountPlain(Bstr(host.Name()).get(), Bstr(L"Music").get()));
    EXPECT_EQ(S_OK, MountPlain(Bstr(host.Name()).get(), Bstr(L"Photos").get()));
    EXPECT_EQ(host.Unc() + L"\\Music", network.DriveConnection(L'Y'));
    EXPECT_EQ(host.Unc() + L"\\Photos", network.DriveConnection(L'X'));
}

TEST_F(MountDevice, ANullOrEmptyHostIsRefusedAfterTracingEveryParameter)
{
    for (const bool empty : {false, true}) {
        SCOPED_TRACE(empty ? "empty host" : "null host");
        kxtest::TraceRecorder::Clear();
        unique_bstr nas = empty ? Bstr(L"") : unique_bstr();
        BSTR accessName = reinterpret_cast<BSTR>(0x1234);

        EXPECT_EQ(E_INVALIDARG, CUtilities::MountDevice(nas.get(), nullptr, nullptr, 0, &accessName, nullptr));
        EXPECT_EQ(reinterpret_cast<BSTR>(0x1234), accessName);
        const auto traced = kxtest::TraceRecorder::SinkTexts();
        ASSERT_EQ(8u, traced.size());
        EXPECT_EQ(empty ? L"CUtilities::MountDevice -- bstrNas: \r\n"
                        : L"CUtilities::MountDevice -- bstrNas is NULL\r\n",
                  traced[1]);
        EXPECT_EQ(L"CUtilities::MountDevice -- bstrNas must NOT be NULL or empty...returning error.\r\n", traced[7]);
    }
    EXPECT_TRUE(network.Calls().empty());
}

struct ProfileCase {
    VARIANT_BOOL value;
    const wchar_t* traced;
};

TEST_F(MountDevice, OnlyVariantTrueCountsAsUpdatingTheProfile)
{
    const ProfileCase cases[] = {
        {VARIANT_TRUE, L"CUtilities::MountDevice -- vbUpdateProfile is TRUE\r\n"},
        {1, L"CUtilities::MountDevice -- vbUpdateProfile is FALSE\r\n"},
        {VARIANT_FALSE, L"CUtilities::MountDevice -- vbUpdateProfile is FALSE\r\n"},
    };
    for (const auto& profile : cases) {
        kxtest::TraceRecorder::Clear();
        CUtilities::MountDevice(Bstr(host.Name()).get(), nullptr, nullptr, profile.value, nullptr, nullptr);
        EXPECT_EQ(profile.traced, kxtest::TraceRecorder::SinkTexts()[4]) << profile.value;
    }
}

struct ErrorCase {
    const char* name;
    bool hostKnown;
    const wchar_t* share;
    DWORD refusal;
    HRESULT expected;
};

class MountDeviceError : public MountDevice, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(MountDeviceError, ComesBackAsAnHresult)
{
    const ErrorCase& error = GetParam();
    if (error.refusal != NO_ERROR) {
        host.Refuse(error.share, error.refusal);
    }
    const std::wstring nas = error.hostKnown ? host.Name() : kxtest::UniqueName(L"absent-");

    EXPECT_EQ(error.expected, MountPlain(Bstr(nas).get(), Bstr(error.share).get()));
    const auto calls = network.Calls();
    ASSERT_EQ(1u, calls.size());
    const DWORD windowsError = error.refusal != NO_ERROR ? error.refusal : HRESULT_CODE(error.expected);
    EXPECT_EQ(ConnectCall(L"\\\\" + nas + L"\\" + error.share, std::to_string(windowsError)), calls[0]);
    const auto traced = kxtest::TraceRecorder::SinkTexts();
    EXPECT_EQ(L"CUtilities::MountDevice -- WNetUseConnection Failed! Error Num: " +
                  std::to_wstring(static_cast<int>(windowsError)) + L"\r\n",
              traced[traced.size() - 3]);
    EXPECT_EQ(std::wstring(), network.DriveConnection(L'Z'));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MountDeviceError,
    ::testing::Values(ErrorCase{"UnreachableHost", false, L"Music", NO_ERROR, static_cast<HRESULT>(0x80070035)},
                      ErrorCase{"MissingShare", true, L"Videos", NO_ERROR, static_cast<HRESULT>(0x80070043)},
                      ErrorCase{"CredentialConflict", true, L"Music", ERROR_SESSION_CREDENTIAL_CONFLICT,
                                static_cast<HRESULT>(0x800704C3)},
                      ErrorCase{"AccessDenied", true, L"Photos", ERROR_ACCESS_DENIED, E_ACCESSDENIED},
                      ErrorCase{"NegativeValuePassedOn", true, L"Music", 0x80004005, E_FAIL}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(MountDevice, NoFreeLetterIsAFailure)
{
    network.MakeLettersBusy(L"CDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS), MountPlain(Bstr(host.Name()).get(), Bstr(L"Music").get()));
}

TEST_F(MountDevice, TheAccessNameIsWrittenOnlyWhenAskedFor)
{
    BSTR accessName = reinterpret_cast<BSTR>(0x1234);
    const HRESULT result = CUtilities::MountDevice(Bstr(host.Name()).get(), nullptr, nullptr, 0, &accessName, nullptr);

    // Outside plain mode nothing is composed: the provider sees an empty remote name.
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_BAD_NET_NAME), result);
    ASSERT_NE(reinterpret_cast<BSTR>(0x1234), accessName);
    unique_bstr received(accessName);
    ASSERT_NE(nullptr, received.get());
    EXPECT_EQ(0u, ::SysStringLen(received.get()));
    const auto calls = network.Calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_NE(std::string::npos, calls[0].find(" remote=\"\" ")) << calls[0];
    EXPECT_EQ(L"CUtilities::MountDevice -- pbstrAccessName is not NULL\r\n", kxtest::TraceRecorder::SinkTexts()[5]);
}

TEST_F(MountDevice, ARemoteNameOf259CharactersIsPassedWhole)
{
    const std::wstring nas(200, L'n');
    const std::wstring share(56, L's');
    MountPlain(Bstr(nas).get(), Bstr(share).get());
    const auto calls = network.Calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(ConnectCall(L"\\\\" + nas + L"\\" + share, "53"), calls[0]);
}

TEST_F(MountDevice, ARemoteNameThatWouldNotFitIsRefused)
{
    const std::wstring nas(200, L'n');
    const struct {
        std::wstring share;
        bool given;
    } cases[] = {{std::wstring(57, L's'), true}, {std::wstring(), false}, {std::wstring(300, L's'), true}};
    const std::wstring longHost(253, L'n');
    for (const auto& refused : cases) {
        kxtest::TraceRecorder::Clear();
        const std::wstring nasName = refused.given ? nas : longHost;
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE),
                  MountPlain(Bstr(nasName).get(), refused.given ? Bstr(refused.share).get() : nullptr));
        EXPECT_EQ(L"CUtilities::Exiting MountDevice...\r\n", kxtest::TraceRecorder::SinkTexts().back());
    }
    EXPECT_TRUE(network.Calls().empty());
}

// Only \\host\share itself may be mapped: a NUL would cut a name, a separator would move the
// mapping to another share or host.
TEST_F(MountDevice, ANameThatIsNotOneWholeComponentIsRefused)
{
    const std::pair<std::wstring, std::wstring> refused[] = {
        {host.Name(), std::wstring(L"Mu\0sic", 6)},
        {host.Name() + std::wstring(L"\0x", 2), L"Music"},
        {host.Name(), L"..\\..\\evilpc\\share"},
        {host.Name(), L"../../evilpc/share"},
        {L"evilpc\\share", L"Music"},
        {L"evilpc/share", L"Music"},
    };
    for (const auto& names : refused) {
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_NAME),
                  MountPlain(Bstr(names.first).get(), Bstr(names.second).get()));
    }
    EXPECT_TRUE(network.Calls().empty());
}

} // namespace

namespace {

// The mount command runs in rundll32: the stand-in must be what the system's rundll32 loads too.
TEST(StandInMpr, ServesOtherProcessesOfThePrefix)
{
    ASSERT_TRUE(kxtest::StandInMprLoaded());
    kxtest::SimulatedNetworkSession network;

    EXPECT_EQ(0u, kxtest::RunProcess(L"C:\\windows\\system32\\rundll32.exe mpr.dll,WNetCloseEnum", 30000));
    EXPECT_EQ((std::vector<std::string>{"WNetCloseEnum -> 6"}), network.Calls());
}

} // namespace
