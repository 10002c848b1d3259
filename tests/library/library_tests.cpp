// The shipped library as Windows sees it: loaded from disk, entered through its exports, and
// run by rundll32 the way the shell runs a verb.

#include "product_library.h"
#include "simulated_device.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <string>

using kxtest::SimulatedUpnpDevice;

namespace {

class LoadedLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, library_.Module()) << "cannot load " << kxtest::ToUtf8(kxtest::ProductDllPath());
    }
    kxtest::VerbEntry Entry(const char* name) const { return library_.Verb(name); }

    kxtest::ProductLibrary library_;
};

TEST_F(LoadedLibrary, ExportsTheVerbsByTheirAnsiNamesOnly)
{
    EXPECT_NE(nullptr, Entry("ShellCommandOpen"));
    EXPECT_NE(nullptr, Entry("ShellCommandInstallConnect"));
    // rundll32 would prefer a W variant with a wide command line; there must be none.
    EXPECT_EQ(nullptr, Entry("ShellCommandOpenW"));
    EXPECT_EQ(nullptr, Entry("ShellCommandInstallConnectW"));
}

TEST_F(LoadedLibrary, OpenHandsTheDevicesFolderToTheShell)
{
    // Wine cannot open a UNC folder, so the library's own call to the shell is captured.
    kxtest::LaunchCapture capture(library_.Module());
    ASSERT_TRUE(capture.Installed());
    SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas-open:80/desc.xml");
    library_.RunVerb(Entry("ShellCommandOpen"), kxtest::ToUtf8(device.Udn()));
    EXPECT_EQ(L"\\\\nas-open", capture.LastTarget());
}

// The stack cookie that the load configuration names holds the default value in the file
// (tests/check_binary.py); the loader replaces it before the library's code runs.
TEST_F(LoadedLibrary, TheLoaderReplacesTheDefaultStackCookie)
{
    constexpr ULONG_PTR defaultCookie = 0x2B992DDFA232;
    const ULONG_PTR* cookie = library_.StackCookie();
    ASSERT_NE(nullptr, cookie);
    EXPECT_NE(defaultCookie, *cookie);
    EXPECT_NE(0u, *cookie);
}

// The probe program beside this one smashes a stack frame of the library (stack_smash_probe.cpp).
TEST(StackProtection, ASmashedStackEndsTheProcessAtOnceWithNoMessage)
{
    constexpr DWORD stackBufferOverrun = 0xC0000409;
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring probe = program;
    probe.replace(probe.find_last_of(L'\\') + 1, std::wstring::npos, L"kx_stack_smash_probe.exe");
    const kxtest::ProcessOutput run = kxtest::RunProcessCapturingOutput(probe, 60000);
    EXPECT_EQ(stackBufferOverrun, run.exitCode);
    EXPECT_EQ("", run.text);
}

class ThroughRundll32 : public ::testing::Test {
protected:
    void SetUp() override
    {
        logPath_ = kxtest::WorkDirectory() + L"\\" + kxtest::UniqueName(L"launches-") + L".log";
        ::SetEnvironmentVariableW(L"KX_LAUNCH_LOG", logPath_.c_str());
    }
    void TearDown() override { ::SetEnvironmentVariableW(L"KX_LAUNCH_LOG", nullptr); }

    void RunVerb(const wchar_t* entry, const std::wstring& identity)
    {
        ASSERT_EQ(0u, kxtest::RunProcess(kxtest::Rundll32Command(entry, identity), 60000));
    }

    std::wstring logPath_;
};

TEST_F(ThroughRundll32, InstallConnectLaunchesTheConnectorPage)
{
    SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas-e2e:5000/rootDesc.xml");
    RunVerb(L"ShellCommandInstallConnect", device.Udn());
    EXPECT_EQ("http://nas-e2e/Connect\n", kxtest::WaitForFileText(logPath_, 20000));
}

TEST_F(ThroughRundll32, AnIdentityWithoutUuidLaunchesNothing)
{
    SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas-e2e/rootDesc.xml");
    const std::wstring upperCase = L"UUID:" + device.Udn().substr(5);
    RunVerb(L"ShellCommandInstallConnect", upperCase);
    EXPECT_EQ("", kxtest::WaitForFileText(logPath_, 1500));
}

} // namespace
