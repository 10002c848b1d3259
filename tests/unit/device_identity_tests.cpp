#include "allocation_faults.h"
#include "commands/device_identity.h"
#include "common/hresult_error.h"
#include "import_patch.h"
#include "simulated_device.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

using kx::CountedString;
using kxtest::SimulatedUpnpDevice;

namespace {

struct UdnCase {
    const char* commandLine;
    const wchar_t* expectedUdn; // nullptr: no UDN
};

TEST(ExtractDeviceUdn, TakesTheTextFromTheFirstPrefixToTheEndOfTheLine)
{
    const UdnCase cases[] = {
        {"uuid:4d696e69-444c-164e-9d41-b827eb123456", L"uuid:4d696e69-444c-164e-9d41-b827eb123456"},
        {"KXBL_VNTRTZ71_2_2_0.dll,ShellCommandOpen uuid:abc", L"uuid:abc"},
        {"uuid:abc \"quoted\" more", L"uuid:abc \"quoted\" more"},
        {"x uuid:first uuid:second", L"uuid:first uuid:second"},
        {"uuid:trailing ", L"uuid:trailing "},
        {"uuid:", L"uuid:"},
        {"Uuid:x uuid:y", L"uuid:y"},
        {"UUID:abc", nullptr},
        {"uuid abc", nullptr},
        {"", nullptr},
    };
    for (const auto& test : cases) {
        CountedString udn = CountedString::Make(L"untouched");
        const bool found = kx::ExtractDeviceUdn(test.commandLine, udn);
        EXPECT_EQ(test.expectedUdn != nullptr, found) << test.commandLine;
        EXPECT_STREQ(test.expectedUdn != nullptr ? test.expectedUdn : L"untouched", udn.Text()) << test.commandLine;
    }
}

TEST(ExtractDeviceUdn, ANullCommandLineHoldsNoUdn)
{
    CountedString udn;
    EXPECT_FALSE(kx::ExtractDeviceUdn(nullptr, udn));
}

TEST(ExtractDeviceUdn, LongLinesAreKeptWholeOnEitherSideOfTheStackLimit)
{
    for (size_t length : {4094u, 4095u, 4096u, 100000u}) {
        std::string line = "uuid:" + std::string(length - 5, 'a');
        line.back() = 'z';
        CountedString udn;
        ASSERT_TRUE(kx::ExtractDeviceUdn(line.c_str(), udn)) << length;
        EXPECT_EQ(length, udn.Length());
        EXPECT_EQ(L'z', udn.Text()[length - 1]) << length;
    }
}

TEST(ExtractDeviceUdn, BytesAreConvertedFromTheAnsiCodePage)
{
    if (::GetACP() != 1252) {
        GTEST_SKIP() << "code page " << ::GetACP();
    }
    CountedString udn;
    ASSERT_TRUE(kx::ExtractDeviceUdn("uuid:caf\xE9-\x80", udn));
    EXPECT_STREQ(L"uuid:caf\u00E9-\u20AC", udn.Text());
}

int WINAPI FailingMultiByteToWideChar(UINT, DWORD, LPCCH, int, LPWSTR, int)
{
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
}

TEST(ExtractDeviceUdn, AFailedConversionRaisesTheWindowsError)
{
    kxtest::ImportPatch failing(kxtest::TestProgramModule(), "KERNEL32.dll", "MultiByteToWideChar",
                                reinterpret_cast<const void*>(&FailingMultiByteToWideChar));
    ASSERT_TRUE(failing.Installed());
    CountedString udn;
    HRESULT raised = S_OK;
    try {
        kx::ExtractDeviceUdn("uuid:abc", udn);
    } catch (const kx::HResultError& error) {
        raised = error.Code();
    }
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION), raised);
}

TEST(ExtractDeviceUdn, OutOfMemoryOnEitherPathRaisesAndLeaksNothing)
{
    const std::string shortLine = "uuid:short";
    const std::string longLine = "uuid:" + std::string(5000, 'b');
    for (const std::string* line : {&shortLine, &longLine}) {
        for (int failing = 0;; ++failing) {
            kxtest::AllocationFaults faults(kxtest::TestProgramModule(), failing);
            HRESULT raised = S_OK;
            {
                CountedString udn;
                try {
                    kx::ExtractDeviceUdn(line->c_str(), udn);
                } catch (const kx::HResultError& error) {
                    raised = error.Code();
                }
            }
            EXPECT_EQ(0, faults.Outstanding());
            if (!faults.InjectedFailure()) {
                break;
            }
            EXPECT_EQ(E_OUTOFMEMORY, raised) << "allocation " << failing;
        }
    }
}

class ResolveDeviceHostTest : public ::testing::Test {
protected:
    bool Resolve(const std::wstring& udnText, CountedString& host)
    {
        return kx::ResolveDeviceHost(CountedString::Make(udnText.c_str()), host);
    }
    std::wstring ResolvedHost(const std::wstring& url, const wchar_t* behaviour = kxsim::BehaviourNormal)
    {
        SimulatedUpnpDevice device(kxtest::NewUdn(), url, behaviour);
        CountedString host = CountedString::Make(L"unchanged");
        const bool resolved = Resolve(device.Udn(), host);
        return resolved ? std::wstring(host.Text()) : L"<false:" + std::wstring(host.Text()) + L">";
    }
};

TEST_F(ResolveDeviceHostTest, GivesTheHostOfTheDescriptionUrl)
{
    EXPECT_EQ(L"nas01", ResolvedHost(L"http://nas01/description.xml"));
    EXPECT_EQ(L"nas01", ResolvedHost(L"http://nas01:5000/upnp/desc.xml"));
    EXPECT_EQ(L"192.168.1.20", ResolvedHost(L"http://192.168.1.20:49152/desc.xml"));
    EXPECT_EQ(L"nas01.example", ResolvedHost(L"http://user:pw@nas01.example:8080/x?y#z"));
    EXPECT_EQ(L"NAS-01.Home_lan.", ResolvedHost(L"http://NAS-01.Home_lan.:5000/d.xml"));
}

// The announcer chooses the URL, and the parser lets anything through as the host.
TEST_F(ResolveDeviceHostTest, AHostThatCouldNameMoreThanAHostIsRefused)
{
    for (const wchar_t* url : {
             L"http://evilpc\\share\\evil.exe/d.xml", // \\evilpc\share\evil.exe
             L"http://?\\unix\\usr\\bin\\xterm/d.xml", // a local path, as Wine spells it
             L"http://?\\UNC\\evilpc\\share/d.xml",
             L"http://u@evilpc@SSL\\DavWWWRoot/d.xml", // user "u", host "evilpc@SSL\DavWWWRoot"
             L"http://a\" --evil-flag \"x/d.xml",
             L"http://nas 01/d.xml",
             L"http://nas\t01/d.xml",
             L"http:///d.xml",
             L"http://[::1]:5000/d.xml",
             L"http://nas\uFF3Cshare/d.xml", // a fullwidth backslash
             L"http://%5C%5Cevilpc/d.xml",
             L"http://.nas01/d.xml",
             L"http://nas01..lan/d.xml",
             L"http://-nas01/d.xml",
             L"http://nas01.-lan/d.xml",
         }) {
        EXPECT_EQ(L"<false:unchanged>", ResolvedHost(url)) << url;
    }
}

TEST_F(ResolveDeviceHostTest, FailuresGiveFalseAndLeaveTheHostAsItWas)
{
    EXPECT_EQ(L"<false:unchanged>", ResolvedHost(L"http://nas01/d.xml", kxsim::BehaviourNoDocumentAccess));
    EXPECT_EQ(L"<false:unchanged>", ResolvedHost(L"http://nas01/d.xml", kxsim::BehaviourNoUrl));
    EXPECT_EQ(L"<false:unchanged>", ResolvedHost(L"http://nas01/d.xml", kxsim::BehaviourFindFails));
    EXPECT_EQ(L"<false:unchanged>", ResolvedHost(L"http://nas01/d.xml", kxsim::BehaviourFindFailsWithDevice));
    EXPECT_EQ(L"<false:unchanged>", ResolvedHost(L"not a url"));
}

TEST_F(ResolveDeviceHostTest, TheResultOfGetDocumentUrlIsNotLookedAt)
{
    EXPECT_EQ(L"nas01", ResolvedHost(L"http://nas01/d.xml", kxsim::BehaviourUrlWithError));
}

TEST_F(ResolveDeviceHostTest, HostsUpTo255CharactersAreAccepted)
{
    const std::wstring host255(255, L'h');
    EXPECT_EQ(host255, ResolvedHost(L"http://" + host255 + L"/d.xml"));
    const std::wstring host256(256, L'h');
    EXPECT_EQ(L"<false:unchanged>", ResolvedHost(L"http://" + host256 + L"/d.xml"));
}

TEST_F(ResolveDeviceHostTest, AnUnknownDeviceIsAskedForByItsExactUdn)
{
    const std::wstring udn = kxtest::NewUdn() + L" \"x\" uuid:second";
    CountedString host = CountedString::Make(nullptr);
    EXPECT_FALSE(Resolve(udn, host));
    EXPECT_EQ(nullptr, host.Bstr());
    const kxsim::SimUpnpStatistics statistics = kxtest::UpnpFinderStatistics();
    EXPECT_STREQ(udn.c_str(), statistics.lastUdn);
}

TEST_F(ResolveDeviceHostTest, EveryObjectIsReleasedOnEveryPath)
{
    for (const wchar_t* behaviour : {kxsim::BehaviourNormal, kxsim::BehaviourNoDocumentAccess, kxsim::BehaviourNoUrl,
                                     kxsim::BehaviourFindFails, kxsim::BehaviourFindFailsWithDevice}) {
        ResolvedHost(L"http://nas01/d.xml", behaviour);
        EXPECT_EQ(0, kxtest::UpnpFinderStatistics().liveObjects) << behaviour;
    }
}

HRESULT WINAPI ClassNotRegistered(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID* object)
{
    *object = nullptr;
    return REGDB_E_CLASSNOTREG;
}

TEST_F(ResolveDeviceHostTest, AMissingFinderGivesFalse)
{
    kxtest::ImportPatch noFinder(kxtest::TestProgramModule(), "ole32.dll", "CoCreateInstance",
                                 reinterpret_cast<const void*>(&ClassNotRegistered));
    ASSERT_TRUE(noFinder.Installed());
    SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas01/d.xml");
    CountedString host = CountedString::Make(nullptr);
    EXPECT_FALSE(Resolve(device.Udn(), host));
}

// What CoInitializeEx says on this thread afterwards tells whether the lookup left the
// thread's COM initialisation as it found it.
HRESULT ApartmentStateAfterResolve(bool preInitialise, DWORD model)
{
    HRESULT after = E_UNEXPECTED;
    std::thread worker([&] {
        const HRESULT before = preInitialise ? ::CoInitializeEx(nullptr, model) : E_FAIL;
        SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas01/d.xml");
        CountedString host = CountedString::Make(nullptr);
        if (!kx::ResolveDeviceHost(CountedString::Make(device.Udn().c_str()), host) ||
            std::wstring(host.Text()) != L"nas01") {
            return;
        }
        after = ::CoInitializeEx(nullptr, model);
        if (SUCCEEDED(after)) {
            ::CoUninitialize();
        }
        if (SUCCEEDED(before)) {
            ::CoUninitialize();
        }
    });
    worker.join();
    return after;
}

TEST_F(ResolveDeviceHostTest, ComInitialisationIsBalancedInEveryApartment)
{
    EXPECT_EQ(S_OK, ApartmentStateAfterResolve(false, COINIT_MULTITHREADED));
    EXPECT_EQ(S_FALSE, ApartmentStateAfterResolve(true, COINIT_MULTITHREADED));
    // A single-threaded caller keeps its own initialisation: the lookup did not make it.
    EXPECT_EQ(S_FALSE, ApartmentStateAfterResolve(true, COINIT_APARTMENTTHREADED));
}

TEST_F(ResolveDeviceHostTest, OutOfMemoryWhileCopyingTheHostReleasesEverything)
{
    SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas01/d.xml");
    const CountedString udn = CountedString::Make(device.Udn().c_str());
    HRESULT raised = S_OK;
    {
        kxtest::AllocationFaults faults(kxtest::TestProgramModule(), 0);
        CountedString host;
        try {
            kx::ResolveDeviceHost(udn, host);
        } catch (const kx::HResultError& error) {
            raised = error.Code();
        }
        EXPECT_EQ(0, faults.Outstanding());
    }
    EXPECT_EQ(E_OUTOFMEMORY, raised);
    EXPECT_EQ(0, kxtest::UpnpFinderStatistics().liveObjects);
    const HRESULT apartment = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(S_OK, apartment) << "COM was left initialised";
    ::CoUninitialize();
}

} // namespace
