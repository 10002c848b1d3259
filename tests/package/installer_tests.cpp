// The per-machine installer of the build's processor, installed, upgraded and removed by Wine's
// own msiexec: the registration it runs, the verbs that the registered command lines start, and
// what removal leaves.
#include "installed_product.h"
#include "network_explorer_expectations.h"
#include "product_library.h"
#include "registry_snapshot.h"
#include "simulated_device.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <msi.h>

#include <string>
#include <vector>

namespace {

constexpr wchar_t ForeignKeyPath[] = L"NetworkExplorerPlugins\\urn:other-vendor-com:device:Printer:1";

std::wstring Installer(const wchar_t* variable, const wchar_t* name)
{
    return kxtest::ToWindowsPath(kxtest::EnvironmentText(variable)) + L"\\" + name;
}

// The installer of this build's processor, and the variants that the test build made of it.
std::wstring BuiltInstaller()
{
    return Installer(L"KX_MSI_DIR", (L"KXVantorel-" + kxtest::EnvironmentText(L"KX_PROCESSOR") + L".msi").c_str());
}
std::wstring TestInstaller(const wchar_t* name)
{
    return Installer(L"KX_TEST_MSI_DIR", name);
}

#if defined(__x86_64__) || defined(_M_X64)
std::wstring LibraryVersion()
{
    return kxtest::EnvironmentText(L"KX_PRODUCT_VERSION");
}
// The version of next-revision.msi: the library's with the fourth field one higher.
std::wstring NextRevision()
{
    const std::wstring version = LibraryVersion();
    const std::size_t last = version.rfind(L'.');
    return version.substr(0, last + 1) + std::to_wstring(std::stoul(version.substr(last + 1)) + 1);
}
#endif

class PerMachineInstaller : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveEverything();
        launchLog_ = kxtest::WorkDirectory() + L"\\" + kxtest::UniqueName(L"installer-launches-") + L".log";
        ::SetEnvironmentVariableW(L"KX_LAUNCH_LOG", launchLog_.c_str());
    }
    void TearDown() override
    {
        ::SetEnvironmentVariableW(L"KX_LAUNCH_LOG", nullptr);
        RemoveEverything();
    }

    static void ExpectNothingInstalled()
    {
        EXPECT_EQ(L"hardware id:\ndevice type:\n", kxtest::DescribeNetworkExplorerKeys());
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(kxtest::InstalledLibrary().c_str()));
        EXPECT_TRUE(kxtest::InstalledVersions().empty());
    }

    std::wstring launchLog_;

private:
    static void RemoveEverything()
    {
        for (const std::wstring& product : kxtest::InstalledProducts()) {
            kxtest::Msiexec(L"/x", product);
        }
        // A permanent component's file, which only the rollback tests leave.
        ::DeleteFileW(kxtest::InstalledLibrary().c_str());
        kxtest::DeleteNetworkExplorerKeys();
        ::RegDeleteKeyW(HKEY_CLASSES_ROOT, ForeignKeyPath);
    }
};

TEST_F(PerMachineInstaller, RegistersTheInstalledLibraryWhoseVerbsWorkAndRemovesItAll)
{
    kxtest::CreateKeys(HKEY_CLASSES_ROOT, ForeignKeyPath, {L"shell\\open\\command"});
    ASSERT_EQ(0u, kxtest::Msiexec(L"/i", BuiltInstaller()));
    EXPECT_EQ(kxtest::DescribeExpectedKeys(kxtest::ExpectedCaptions(), kxtest::LibraryAt(kxtest::InstalledLibrary())),
              kxtest::DescribeNetworkExplorerKeys());

    // Open, as the shell would run it, with the shell's launch captured in place of rundll32's:
    // Wine cannot open a UNC folder.
    const kxtest::SimulatedUpnpDevice device(kxtest::NewUdn(), L"http://nas-msi:80/desc.xml");
    const std::wstring open = kxtest::RegisteredCommand(L"Open");
    EXPECT_EQ(L"rundll32.exe \"" + kxtest::InstalledLibrary() + L"\",ShellCommandOpen %1", open);
    {
        const kxtest::ProductLibrary library(kxtest::LibraryOfCommand(open));
        kxtest::LaunchCapture capture(library.Module());
        ASSERT_TRUE(capture.Installed());
        library.RunVerb(library.Verb("ShellCommandOpen"), kxtest::ToUtf8(device.Udn()));
        EXPECT_EQ(L"\\\\nas-msi", capture.LastTarget());
    }
    // Install Connector through rundll32 itself, from the registered command line as it stands.
    std::wstring connect = kxtest::RegisteredCommand(L"InstallConnect");
    connect.replace(connect.find(L"%1"), 2, device.Udn());
    EXPECT_EQ(0u, kxtest::RunProcess(connect, 60000));
    EXPECT_EQ("http://nas-msi/Connect\n", kxtest::WaitForFileText(launchLog_, 20000));

    EXPECT_EQ(0u, kxtest::Msiexec(L"/x", BuiltInstaller()));
    ExpectNothingInstalled();
    EXPECT_TRUE(kxtest::KeyExists(HKEY_CLASSES_ROOT, std::wstring(ForeignKeyPath) + L"\\shell\\open\\command"));
}

#if defined(__x86_64__) || defined(_M_X64)
// Upgrades, downgrades and repairs are Windows Installer's own work on the installer's tables,
// which are the same for both processors: the x64 trees run them, and the ARM64 run under
// emulation keeps the cases in which the ARM64 library itself registers, rolls back or is missing.

// Each newer release, the fourth field's included, replaces the installed one: one product, its
// trees naming the one library. An older release changes nothing.
TEST_F(PerMachineInstaller, ANewerReleaseReplacesAnOlderOneAndAnOlderOneIsRefused)
{
    const std::wstring expectedKeys =
        kxtest::DescribeExpectedKeys(kxtest::ExpectedCaptions(), kxtest::LibraryAt(kxtest::InstalledLibrary()));
    const struct {
        const wchar_t* installer;
        std::wstring version;
    } releases[] = {{L"older.msi", L"2.1.0"},
                    {L"", kxtest::InstallerVersionOf(LibraryVersion())},
                    {L"next-revision.msi", kxtest::InstallerVersionOf(NextRevision())}};
    for (const auto& release : releases) {
        SCOPED_TRACE(release.version);
        ASSERT_EQ(0u, kxtest::Msiexec(L"/i", *release.installer ? TestInstaller(release.installer) : BuiltInstaller()));
        EXPECT_EQ(std::vector<std::wstring>{release.version}, kxtest::InstalledVersions());
        EXPECT_EQ(expectedKeys, kxtest::DescribeNetworkExplorerKeys());
    }
    for (const std::wstring& older : {BuiltInstaller(), TestInstaller(L"older.msi")}) {
        SCOPED_TRACE(older);
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSTALL_FAILURE), kxtest::Msiexec(L"/i", older));
        EXPECT_EQ(std::vector<std::wstring>{kxtest::InstallerVersionOf(NextRevision())}, kxtest::InstalledVersions());
        EXPECT_EQ(expectedKeys, kxtest::DescribeNetworkExplorerKeys());
    }
    EXPECT_EQ(0u, kxtest::Msiexec(L"/x", TestInstaller(L"next-revision.msi")));
    ExpectNothingInstalled();
}

// The same package again is the same product: it puts back what was lost.
TEST_F(PerMachineInstaller, TheSamePackageAgainRepairsTheProduct)
{
    ASSERT_EQ(0u, kxtest::Msiexec(L"/i", BuiltInstaller()));
    ASSERT_TRUE(::DeleteFileW(kxtest::InstalledLibrary().c_str()));
    kxtest::DeleteNetworkExplorerKeys();
    ASSERT_EQ(0u, kxtest::Msiexec(L"/i", BuiltInstaller()));
    EXPECT_EQ(std::vector<std::wstring>{kxtest::InstallerVersionOf(LibraryVersion())}, kxtest::InstalledVersions());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(kxtest::InstalledLibrary().c_str()));
    EXPECT_EQ(kxtest::DescribeExpectedKeys(kxtest::ExpectedCaptions(), kxtest::LibraryAt(kxtest::InstalledLibrary())),
              kxtest::DescribeNetworkExplorerKeys());
}

#endif

// Removal deletes the trees itself: a library that is gone cannot leave its verbs behind.
TEST_F(PerMachineInstaller, RemovalWithTheLibraryGoneLeavesNoTree)
{
    ASSERT_EQ(0u, kxtest::Msiexec(L"/i", BuiltInstaller()));
    ASSERT_TRUE(::DeleteFileW(kxtest::InstalledLibrary().c_str()));
    EXPECT_EQ(0u, kxtest::Msiexec(L"/x", BuiltInstaller()));
    ExpectNothingInstalled();
}

// A step that fails after the registration rolls the installation back: the shipped installer
// leaves nothing, and the registration's own rollback removes the trees (the second installer
// has neither the installer's removal of the trees nor a removable file; see
// plant_late_failure.sh).
TEST_F(PerMachineInstaller, AFailureAfterTheRegistrationLeavesNothing)
{
    for (const wchar_t* installer : {L"late-failure.msi", L"late-failure-registration.msi"}) {
        SCOPED_TRACE(installer);
        const DWORD result = kxtest::Msiexec(L"/i", TestInstaller(installer));
        EXPECT_TRUE(result == ERROR_INSTALL_FAILURE || result == ERROR_FUNCTION_FAILED) << result;
        EXPECT_EQ(L"hardware id:\ndevice type:\n", kxtest::DescribeNetworkExplorerKeys());
        EXPECT_TRUE(kxtest::InstalledVersions().empty());
    }
    ::DeleteFileW(kxtest::InstalledLibrary().c_str());
    ExpectNothingInstalled();
}

// The library refuses to register from a folder whose name has a comma (rundll32 would cut the
// command line there): the installation fails and rolls back. Windows Installer answers 1603
// (ERROR_INSTALL_FAILURE), Wine's 1627 (ERROR_FUNCTION_FAILED).
TEST_F(PerMachineInstaller, AFailedRegistrationFailsTheInstallation)
{
    const DWORD result = kxtest::Msiexec(L"/i", TestInstaller(L"comma-folder.msi"));
    EXPECT_TRUE(result == ERROR_INSTALL_FAILURE || result == ERROR_FUNCTION_FAILED) << result;
    ExpectNothingInstalled();
}

#if defined(__x86_64__) || defined(_M_X64)
// As x64 Windows does; the installer is this build's, with the ARM64 installer's template.
TEST_F(PerMachineInstaller, AnArm64InstallerIsRefused)
{
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSTALL_PLATFORM_UNSUPPORTED),
              kxtest::Msiexec(L"/i", TestInstaller(L"arm64.msi")));
    ExpectNothingInstalled();
}
#endif

} // namespace
