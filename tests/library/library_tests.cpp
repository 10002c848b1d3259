// The shipped library as Windows sees it: loaded from disk, entered through its exports, and
// run by rundll32 the way the shell runs a verb.

#include "import_patch.h"
#include "simulated_device.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <string>

using kxtest::SimulatedUpnpDevice;

namespace {

using VerbEntry = void(CALLBACK*)(HWND, HINSTANCE, LPSTR, int);

class LoadedLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = ::LoadLibraryW(kxtest::ProductDllPath().c_str());
        ASSERT_NE(nullptr, module_) << "cannot load " << kxtest::ToUtf8(kxtest::ProductDllPath());
    }
    void TearDown() override
    {
        if (module_ != nullptr) {
            ::FreeLibrary(module_);
        }
    }
    VerbEntry Entry(const char* name) const
    {
        return reinterpret_cast<VerbEntry>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
    }

    HMODULE module_ = nullptr;
};

TEST_F(LoadedLibrary, ExportsTheVerbsByTheirAnsiNamesOnly)
{
    EXPECT_NE(nullptr, Entry("ShellCommandOpen"));
    EXPECT_NE(nullptr, Entry("ShellCommandInstallConnect"));
    // rundll32 would prefer a W variant with a wide command line; there must be none.
    EXPECT_EQ(nullptr, Entry("ShellCommandOpenW"));
    EXPECT_EQ(nullptr, Entry("ShellCommandInstallConnectW"));
}

std::wstring g_launchedFile;

BOOL WINAPI CapturingShellExecuteExW(SHELLEXECUTEINFOW* request)
{
    g_launchedFile = request->lpFile != nullptr ? request->lpFile : L"<null>";
    return TRUE;
}

TEST_F(LoadedLibrary, OpenHandsTheDevicesFolderToTheShell)
{
    // Wine cannot open a UNC folder, so the library's own call to the shell is captured.
    kxtest::ImportPatch capture(module_, "SHELL32.dll", "ShellExecuteExW",
                                reinterpret_cast<const void*>(&CapturingShellExecuteExW));
    ASSERT_TRUE(capture.Installed());
    SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas-open:80/desc.xml");
    std::string commandLine = kxtest::ToUtf8(device.Udn());
    g_launchedFile.clear();
    Entry("ShellCommandOpen")(nullptr, module_, commandLine.data(), SW_SHOWNORMAL);
    EXPECT_EQ(L"\\\\nas-open", g_launchedFile);
}

class ThroughRundll32 : public ::testing::Test {
protected:
    void SetUp() override
    {
        logPath_ = kxtest::WorkDirectory() + L"\\" + kxtest::UniqueName(L"launches-") + L".log";
        ::SetEnvironmentVariableW(L"KX_LAUNCH_LOG", logPath_.c_str());
    }
    void TearDown() override { ::SetEnvironmentVariableW(L"KX_LAUNCH_LOG", nullptr); }

    void RunVerb(const std::wstring& entry, const std::wstring& identity)
    {
        const std::wstring commandLine = L"rundll32.exe KXBL_VNTRTZ71_2_2_0.dll," + entry + L" " + identity;
        ASSERT_EQ(0u, kxtest::RunProcess(commandLine, 60000));
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
