// The driver packages as the build assembles them, installed and removed by Wine's own
// device-installation framework (newdev and SetupAPI) on a root device node of the test prefix:
// the co-installer package, and the declarative one whose software component runs the installer.
#include "component_software.h"
#include "device_list.h"
#include "installed_product.h"
#include "module_load_log.h"
#include "network_explorer_expectations.h"
#include "package_installation.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#if defined(_M_ARM64) || defined(__aarch64__)
constexpr wchar_t InstallerProcessor[] = L"Arm64;1033";
#else
constexpr wchar_t InstallerProcessor[] = L"x64;1033";
#endif

namespace {

constexpr wchar_t HardwareId[] = L"VEN_011A&DEV_0080&REV_01";

std::wstring PackageFolder()
{
    return kxtest::ToWindowsPath(kxtest::EnvironmentText(L"KX_PACKAGE_DIR"));
}

std::wstring System32Library()
{
    wchar_t system32[MAX_PATH] = {};
    ::GetSystemDirectoryW(system32, MAX_PATH);
    return std::wstring(system32) + L"\\KXBL_VNTRTZ71_2_2_0.dll";
}

bool SamePath(const std::wstring& left, const std::wstring& right)
{
    return ::CompareStringOrdinal(left.c_str(), -1, right.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool NetworkExplorerKeysExist()
{
    return kxtest::KeyExists(HKEY_CLASSES_ROOT, kxtest::ExpectedHardwareIdKeyPath) ||
           kxtest::KeyExists(HKEY_CLASSES_ROOT, kxtest::ExpectedDeviceTypeKeyPath);
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// A copy of the built package in a folder of its own, the INF's hardware id replaced. The
// catalog that the INF names comes from the integrator's signing, so the build has none; newer
// Wine copies it into its driver store (unread) and refuses a package without it, so the copy
// carries a stand-in.
std::wstring CopyOfPackage(const wchar_t* name, bool withLibrary, const std::string& infHardwareId)
{
    const std::wstring folder = kxtest::WorkDirectory() + L"\\" + kxtest::UniqueName(name);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::string inf = kxtest::ReadFileText(PackageFolder() + L"\\kxvantorel.inf");
    ReplaceAll(inf, kxtest::ToUtf8(HardwareId), infHardwareId);
    std::ofstream((folder + L"\\kxvantorel.inf").c_str(), std::ios::binary) << inf;
    std::ofstream((folder + L"\\kxvantorel.cat").c_str(), std::ios::binary) << "stand-in catalog";
    if (withLibrary) {
        // The DLL of each processor that the package holds (it may hold the build's own alone).
        for (const wchar_t* library : {L"\\KXBL_VNTRTZ71-x64.dll", L"\\KXBL_VNTRTZ71-arm64.dll"}) {
            ::CopyFileW((PackageFolder() + library).c_str(), (folder + library).c_str(), FALSE);
        }
    }
    return folder;
}

class DriverPackage : public ::testing::Test {
protected:
    // The prefix set-up put the library into System32: the framework's copy must be the only one.
    void SetUp() override
    {
        RemoveEverything();
        ::DeleteFileW(System32Library().c_str());
        ASSERT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(System32Library().c_str()));
    }
    // A device left installed would have Wine's services load the co-installer when the prefix
    // starts again; and the other tests expect the library in System32.
    void TearDown() override
    {
        RemoveEverything();
        ::CopyFileW(kxtest::ProductDllPath().c_str(), System32Library().c_str(), FALSE);
    }

private:
    static void RemoveEverything()
    {
        kxdemo::RemoveDevices(HardwareId);
        kxtest::DeleteNetworkExplorerKeys();
    }
};

TEST_F(DriverPackage, InstallsAndRemovesTheDeviceThroughTheFramework)
{
    const kxdemo::ModuleLoadLog loads;
    ASSERT_TRUE(loads.Listening());
    // The package holds the library under its own file name only, so nothing can load it from there.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((PackageFolder() + L"\\KXBL_VNTRTZ71_2_2_0.dll").c_str()));

    const kxdemo::InstallationReport report =
        kxdemo::InstallFromPackage(CopyOfPackage(L"signed-", true, kxtest::ToUtf8(HardwareId)), HardwareId);
    ASSERT_TRUE(report.Installed()) << kxtest::ToUtf8(report.error + L" " + report.driverKey);
    EXPECT_EQ(std::vector<std::wstring>{L"KXBL_VNTRTZ71_2_2_0.dll,CoDeviceInstall"}, report.coInstallers);
    EXPECT_EQ(kxtest::DescribeExpectedKeys(kxtest::ExpectedCaptions()), kxtest::DescribeNetworkExplorerKeys());

    EXPECT_EQ(1, kxdemo::RemoveDevices(HardwareId));
    EXPECT_TRUE(kxdemo::FindDevices(HardwareId).empty());
    EXPECT_FALSE(NetworkExplorerKeysExist());

    const std::vector<std::wstring> loaded = loads.LoadsOf(L"KXBL_VNTRTZ71");
    EXPECT_FALSE(loaded.empty());
    for (const std::wstring& path : loaded) {
        EXPECT_TRUE(SamePath(System32Library(), path)) << kxtest::ToUtf8(path);
    }
}

// Newdev answers TRUE whether or not anything matched: the installation must judge by effects,
// say so, and leave no device node, no co-installer and no keys behind.
TEST_F(DriverPackage, ABrokenPackageInstallsNothing)
{
    struct BrokenPackage {
        const wchar_t* name;
        bool withLibrary;
        std::string infHardwareId;
    };
    const BrokenPackage brokenPackages[] = {
        {L"without-library-", false, kxtest::ToUtf8(HardwareId)},
        {L"other-device-", true, "VEN_011A&DEV_0081&REV_01"},
    };
    for (const BrokenPackage& broken : brokenPackages) {
        SCOPED_TRACE(kxtest::ToUtf8(broken.name));
        const std::wstring folder = CopyOfPackage(broken.name, broken.withLibrary, broken.infHardwareId);

        EXPECT_FALSE(kxdemo::InstallFromPackage(folder, HardwareId).Installed());
        EXPECT_TRUE(kxdemo::FindDevices(HardwareId).empty());
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(System32Library().c_str()));
        EXPECT_FALSE(NetworkExplorerKeysExist());
    }
}

// The declarative package. Wine implements neither AddComponent nor AddSoftware: where Windows
// makes the software component child and, once that is installed, runs the software its INF asks
// for, the test reads the same INF lines through SetupAPI and runs the installer as Windows runs
// an AddSoftware type 1 MSI.
std::wstring DchPackageFolder()
{
    return kxtest::ToWindowsPath(kxtest::EnvironmentText(L"KX_DCH_PACKAGE_DIR"));
}

// Windows copies the installer into the driver store and runs it from there: here the package's
// copy stands in for the driver store's.
DWORD RunAsAddSoftwareDoes(const std::wstring& installer)
{
    return kxtest::RunProcess(kxdemo::AddSoftwareCommandLine(installer), 300000);
}

// A copy of the built package with a stand-in for each catalog its INFs name (see CopyOfPackage).
// Wine's framework knows models decorated with a processor only, not with the Windows version
// that Windows matches them against: the copy's INFs name the processor alone.
std::wstring CopyOfDchPackage()
{
    const std::wstring folder = kxtest::WorkDirectory() + L"\\" + kxtest::UniqueName(L"dch-");
    ::CreateDirectoryW(folder.c_str(), nullptr);
    WIN32_FIND_DATAW found = {};
    const kxdemo::FileSearch search(::FindFirstFileW((DchPackageFolder() + L"\\*").c_str(), &found));
    for (BOOL more = search ? TRUE : FALSE; more; more = ::FindNextFileW(search.get(), &found)) {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            ::CopyFileW((DchPackageFolder() + L"\\" + name).c_str(), (folder + L"\\" + name).c_str(), FALSE);
        }
        if (name.size() > 4 && name.compare(name.size() - 4, 4, L".inf") == 0) {
            std::string inf = kxtest::ReadFileText(folder + L"\\" + name);
            ReplaceAll(inf, ".10.0...15063", "");
            std::ofstream((folder + L"\\" + name).c_str(), std::ios::binary) << inf;
            const std::wstring catalog = folder + L"\\" + kxdemo::CatalogOf(folder + L"\\" + name);
            std::ofstream(catalog.c_str(), std::ios::binary) << "stand-in catalog";
        }
    }
    return folder;
}

class DchDriverPackage : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (kxtest::EnvironmentText(L"KX_DCH_PACKAGE_DIR").empty()) {
            GTEST_SKIP() << "no installers in this build (wixl missing), so no DCH package";
        }
        RemoveEverything();
    }
    void TearDown() override { RemoveEverything(); }

    std::wstring installer_;

private:
    void RemoveEverything() const
    {
        kxdemo::RemoveDevices(HardwareId);
        if (!installer_.empty()) {
            kxtest::Msiexec(L"/x", installer_);
        }
        kxtest::DeleteNetworkExplorerKeys();
    }
};

TEST_F(DchDriverPackage, TheDeviceInstallsWithoutCodeAndItsComponentsInstallerOutlivesIt)
{
    const kxdemo::ModuleLoadLog loads;
    ASSERT_TRUE(loads.Listening());
    const std::wstring package = CopyOfDchPackage();
    const kxdemo::InstallationReport report = kxdemo::InstallFromPackage(package, HardwareId);
    ASSERT_TRUE(report.Installed()) << kxtest::ToUtf8(report.error + L" " + report.infPath);
    EXPECT_TRUE(report.coInstallers.empty());
    EXPECT_TRUE(loads.LoadsOf(L"KXBL_VNTRTZ71").empty());
    EXPECT_FALSE(NetworkExplorerKeysExist());

    const std::wstring componentId = kxdemo::ComponentHardwareId(package, HardwareId);
    EXPECT_EQ(L"SWC\\VEN_011A&DEV_0080&REV_01&CMP_NEXP", componentId);
    const kxdemo::ComponentSoftware software = kxdemo::SoftwareOfComponent(package, componentId);
    EXPECT_EQ(0u, software.name.rfind(L"Corvanta", 0)) << kxtest::ToUtf8(software.name);
    EXPECT_EQ(L"1", software.type);
    EXPECT_EQ(kxtest::EnvironmentText(L"KX_PRODUCT_VERSION"), software.version);
    // The installer of this machine's processor, in the package, under the name SoftwareBinary gives.
    installer_ = package + L"\\" + software.fileName;
    ASSERT_EQ(InstallerProcessor, kxtest::InstallerTemplate(installer_)) << kxtest::ToUtf8(software.binary);

    ASSERT_EQ(0u, RunAsAddSoftwareDoes(installer_));
    const std::vector<std::wstring> installed{kxtest::InstallerVersionOf(software.version)};
    EXPECT_EQ(installed, kxtest::InstalledVersions());
    EXPECT_EQ(kxtest::DescribeExpectedKeys(kxtest::ExpectedCaptions(), kxtest::LibraryAt(kxtest::InstalledLibrary())),
              kxtest::DescribeNetworkExplorerKeys());

    // Windows never uninstalls AddSoftware's software with the device: the trees stay.
    EXPECT_EQ(1, kxdemo::RemoveDevices(HardwareId));
    EXPECT_TRUE(kxdemo::FindDevices(HardwareId).empty());
    EXPECT_EQ(installed, kxtest::InstalledVersions());
    EXPECT_TRUE(NetworkExplorerKeysExist());

    EXPECT_EQ(0u, kxtest::Msiexec(L"/x", installer_));
    EXPECT_TRUE(kxtest::InstalledVersions().empty());
    EXPECT_FALSE(NetworkExplorerKeysExist());
}

} // namespace
