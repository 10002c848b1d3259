#include "allocation_faults.h"
#include "coinstaller/entry/coinstaller_entry.h"
#include "coinstaller/registration/dll_install.h"
#include "coinstaller/registration/network_explorer_trees.h"
#include "coinstaller/registration/verb_registration.h"
#include "common/unique_handle.h"
#include "network_explorer_expectations.h"
#include "registry_call_log.h"
#include "test_environment.h"

#include <gtest/gtest.h>

using kxtest::DescribeExpectedKeys;
using kxtest::DescribeNetworkExplorerKeys;
using kxtest::ExpectedDeviceTypeKeyPath;
using kxtest::ExpectedHardwareIdKeyPath;

namespace {

class NetworkExplorerKeys : public ::testing::Test {
protected:
    void SetUp() override { kxtest::DeleteNetworkExplorerKeys(); }
    void TearDown() override { kxtest::DeleteNetworkExplorerKeys(); }

    static DWORD Install(DI_FUNCTION code) { return CoDeviceInstall(code, INVALID_HANDLE_VALUE, nullptr, nullptr); }
};

std::wstring Below(const wchar_t* base, const wchar_t* relative)
{
    return std::wstring(base) + L"\\" + relative;
}

void SetStringValue(const std::wstring& keyPath, const wchar_t* name, const std::wstring& text)
{
    const kxtest::RegistryValue value = kxtest::StringValue(text);
    ::RegSetKeyValueW(HKEY_CLASSES_ROOT, keyPath.c_str(), name, REG_SZ, value.data.data(),
                      static_cast<DWORD>(value.data.size()));
}

// Runs under every UI language the suite is registered with; "Open" stays the default verb.
TEST_F(NetworkExplorerKeys, InstallInterfacesWritesExactlyTheTabledTreesInTheUiLanguage)
{
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), Install(DIF_INSTALLINTERFACES));
    EXPECT_EQ(DescribeExpectedKeys(kxtest::ExpectedCaptions()), DescribeNetworkExplorerKeys());
}

TEST_F(NetworkExplorerKeys, InstallInterfacesTwiceGivesTheSameContent)
{
    Install(DIF_INSTALLINTERFACES);
    const std::wstring once = DescribeNetworkExplorerKeys();
    Install(DIF_INSTALLINTERFACES);
    EXPECT_EQ(once, DescribeNetworkExplorerKeys());
}

TEST_F(NetworkExplorerKeys, InstallInterfacesDropsWhatAnEarlierInstallLeft)
{
    kxtest::CreateKeys(HKEY_CLASSES_ROOT, ExpectedDeviceTypeKeyPath, {L"shell\\Old", L"shell\\Old\\command", L"Extra"});
    kxtest::CreateKeys(HKEY_CLASSES_ROOT, ExpectedHardwareIdKeyPath, {L"shell\\Open Media Player\\ddeexec"});
    SetStringValue(Below(ExpectedDeviceTypeKeyPath, L"shell\\Open"), L"Icon", L"stale.ico");
    SetStringValue(ExpectedHardwareIdKeyPath, L"Stale", L"x");
    Install(DIF_INSTALLINTERFACES);
    EXPECT_EQ(DescribeExpectedKeys(kxtest::ExpectedCaptions()), DescribeNetworkExplorerKeys());
}

TEST_F(NetworkExplorerKeys, RemoveDeletesBothTreesAndKeepsTheirParent)
{
    for (const bool installedBefore : {true, false}) {
        if (installedBefore) {
            Install(DIF_INSTALLINTERFACES);
        }
        EXPECT_EQ(static_cast<DWORD>(NO_ERROR), Install(DIF_REMOVE));
        EXPECT_FALSE(kxtest::KeyExists(HKEY_CLASSES_ROOT, ExpectedHardwareIdKeyPath)) << installedBefore;
        EXPECT_FALSE(kxtest::KeyExists(HKEY_CLASSES_ROOT, ExpectedDeviceTypeKeyPath)) << installedBefore;
        EXPECT_TRUE(kxtest::KeyExists(HKEY_CLASSES_ROOT, L"NetworkExplorerPlugins")) << installedBefore;
    }
}

TEST_F(NetworkExplorerKeys, RegisteringOverAnExistingKeyKeepsForeignContent)
{
    kxtest::CreateKeys(HKEY_CLASSES_ROOT, ExpectedDeviceTypeKeyPath, {L"shell\\Foreign"});
    SetStringValue(Below(ExpectedDeviceTypeKeyPath, L"shell"), L"Extended", L"");
    SetStringValue(Below(ExpectedDeviceTypeKeyPath, L"shell"), nullptr, L"Foreign");
    kx::LibraryValues values;
    kx::ComposeLibraryValues(kx::SystemLibraryLocation, values);
    kx::RegisterDeviceTypeVerbs(values);
    auto snapshot = kxtest::TakeRegistrySnapshot(HKEY_CLASSES_ROOT, ExpectedDeviceTypeKeyPath);
    EXPECT_EQ(1u, snapshot.count(L"shell\\Foreign"));
    EXPECT_EQ(1u, snapshot[L"shell"].count(L"Extended"));
    EXPECT_EQ(kxtest::StringValue(L"Open").data, snapshot[L"shell"][L""].data);
}

// Every key by its full path below HKEY_CLASSES_ROOT, opened for setting values only.
TEST_F(NetworkExplorerKeys, EveryKeyIsCreatedByItsFullPathForSettingValues)
{
    std::vector<kxtest::KeyCreation> creations;
    {
        kxtest::RegistryCallLog log;
        ASSERT_TRUE(log.Installed());
        Install(DIF_INSTALLINTERFACES);
        creations = log.Creations();
    }
    const std::wstring hardwareId = ExpectedHardwareIdKeyPath;
    const std::wstring deviceType = ExpectedDeviceTypeKeyPath;
    const std::vector<std::wstring> expectedOrder = {
        hardwareId,
        hardwareId + L"\\DefaultIcon",
        hardwareId + L"\\shell",
        hardwareId + L"\\shell\\Open Media Player",
        hardwareId + L"\\shell\\Open Media Player\\command",
        deviceType,
        deviceType + L"\\DefaultIcon",
        deviceType + L"\\shell",
        deviceType + L"\\shell\\Open",
        deviceType + L"\\shell\\Open\\command",
        deviceType + L"\\shell\\Mount",
        deviceType + L"\\shell\\Mount\\command",
        deviceType + L"\\shell\\InstallConnect",
        deviceType + L"\\shell\\InstallConnect\\command",
    };
    std::vector<std::wstring> paths;
    for (const auto& creation : creations) {
        paths.push_back(creation.path);
        EXPECT_EQ(HKEY_CLASSES_ROOT, creation.root) << creation.path;
        EXPECT_EQ(static_cast<REGSAM>(KEY_SET_VALUE), creation.access) << creation.path;
        EXPECT_EQ(0u, creation.reserved);
        EXPECT_EQ(static_cast<DWORD>(REG_OPTION_NON_VOLATILE), creation.options);
        EXPECT_FALSE(creation.hasClass || creation.hasSecurity);
    }
    EXPECT_EQ(expectedOrder, paths);
}

// The device-type tree's own name, which its copy keeps while a registration sets it aside.
constexpr wchar_t DeviceTypeName[] = L"urn:corvanta-com:device:NetworkAttachedStorage:VNTRTZ71";

struct CreationFailure {
    const wchar_t* tree;
    const wchar_t* failingKey; // relative to the tree; "" is the device key
    std::vector<std::wstring> missingKeys;
};

TEST_F(NetworkExplorerKeys, AKeyThatCannotBeCreatedLeavesOutWhatDependsOnIt)
{
    const wchar_t* hardwareId = ExpectedHardwareIdKeyPath;
    const wchar_t* deviceType = ExpectedDeviceTypeKeyPath;
    const std::vector<CreationFailure> cases = {
        {hardwareId,
         L"",
         {L"", L"DefaultIcon", L"shell", L"shell\\Open Media Player", L"shell\\Open Media Player\\command"}},
        {hardwareId, L"DefaultIcon", {L"DefaultIcon"}},
        {hardwareId, L"shell", {L"shell", L"shell\\Open Media Player", L"shell\\Open Media Player\\command"}},
        {hardwareId, L"shell\\Open Media Player", {L"shell\\Open Media Player", L"shell\\Open Media Player\\command"}},
        {hardwareId, L"shell\\Open Media Player\\command", {L"shell\\Open Media Player\\command"}},
        {deviceType,
         L"",
         {L"", L"DefaultIcon", L"shell", L"shell\\Open", L"shell\\Open\\command", L"shell\\Mount",
          L"shell\\Mount\\command", L"shell\\InstallConnect", L"shell\\InstallConnect\\command"}},
        {deviceType, L"DefaultIcon", {L"DefaultIcon"}},
        {deviceType,
         L"shell",
         {L"shell", L"shell\\Open", L"shell\\Open\\command", L"shell\\Mount", L"shell\\Mount\\command",
          L"shell\\InstallConnect", L"shell\\InstallConnect\\command"}},
        {deviceType, L"shell\\Open", {L"shell\\Open", L"shell\\Open\\command"}},
        {deviceType, L"shell\\Mount", {L"shell\\Mount", L"shell\\Mount\\command"}},
        {deviceType, L"shell\\InstallConnect", {L"shell\\InstallConnect", L"shell\\InstallConnect\\command"}},
        {deviceType, L"shell\\Open\\command", {L"shell\\Open\\command"}},
        {deviceType, L"shell\\InstallConnect\\command", {L"shell\\InstallConnect\\command"}},
    };
    for (const auto& test : cases) {
        kxtest::DeleteNetworkExplorerKeys();
        const std::wstring failingPath = *test.failingKey ? Below(test.tree, test.failingKey) : test.tree;
        DWORD result = ~0u;
        {
            kxtest::RegistryCallLog log;
            log.FailCreation(failingPath);
            result = Install(DIF_INSTALLINTERFACES);
        }
        EXPECT_EQ(static_cast<DWORD>(NO_ERROR), result);
        auto hardwareIdTree = kxtest::ExpectedHardwareIdTree();
        auto deviceTypeTree = kxtest::ExpectedDeviceTypeTree(kxtest::ExpectedCaptions());
        auto& expected = test.tree == hardwareId ? hardwareIdTree : deviceTypeTree;
        for (const auto& missing : test.missingKeys) {
            expected.erase(missing);
        }
        EXPECT_EQ(L"hardware id:\n" + kxtest::DescribeSnapshot(hardwareIdTree) + L"device type:\n" +
                      kxtest::DescribeSnapshot(deviceTypeTree),
                  DescribeNetworkExplorerKeys())
            << "failing key: " << kxtest::ToUtf8(failingPath);

        // A registration is all or nothing: it names the error and leaves the trees it found, the
        // co-installer's, as they were.
        Install(DIF_INSTALLINTERFACES);
        const std::wstring before = DescribeNetworkExplorerKeys();
        kxtest::RegistryCallLog log;
        log.FailCreation(failingPath, ERROR_CANTWRITE);
        ::SetLastError(0xdeadbeef);
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_CANTWRITE), DllInstall(TRUE, L"")) << kxtest::ToUtf8(failingPath);
        EXPECT_EQ(before, DescribeNetworkExplorerKeys()) << "failing key: " << kxtest::ToUtf8(failingPath);
    }
}

// The co-installer's trees are there before each registration: a refused path leaves them as
// they were, an accepted one replaces them. The shell and rundll32 take a path of up to
// MAX_PATH - 1 characters whole.
TEST_F(NetworkExplorerKeys, ARegistrationNamesTheLibraryWhereItLiesOrChangesNothing)
{
    const std::wstring longest = L"C:\\" + std::wstring(259 - 3, L'x');
    const struct {
        std::wstring path;
        HRESULT expected;
    } cases[] = {
        {L"C:\\Program Files\\Corvanta\\KX Vantorel\\KXBL_VNTRTZ71_2_2_0.dll", S_OK},
        {L"C:\\KX\\KXBL_VNTRTZ71_2_2_0.dll", S_OK},
        {longest, S_OK},
        {longest + L"x", HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)},
        {L"C:\\KX, Inc\\KXBL_VNTRTZ71_2_2_0.dll", HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME)},
        {L"C:\\KX%1\\KXBL_VNTRTZ71_2_2_0.dll", HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME)},
        {L"", HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME)},
    };
    for (const auto& test : cases) {
        Install(DIF_INSTALLINTERFACES);
        EXPECT_EQ(test.expected, kx::RenewNetworkExplorerKeysFor(test.path.c_str())) << kxtest::ToUtf8(test.path);
        const kxtest::ExpectedLibrary library =
            test.expected == S_OK ? kxtest::LibraryAt(test.path) : kxtest::SystemLibrary();
        EXPECT_EQ(DescribeExpectedKeys(kxtest::ExpectedCaptions(), library), DescribeNetworkExplorerKeys())
            << kxtest::ToUtf8(test.path);
    }
}

TEST_F(NetworkExplorerKeys, WithoutRightsBelowClassesRootNothingIsDeletedOrWritten)
{
    Install(DIF_INSTALLINTERFACES);
    kxtest::CreateKeys(HKEY_CLASSES_ROOT, ExpectedDeviceTypeKeyPath, {L"Earlier"});
    const std::wstring before = DescribeNetworkExplorerKeys();
    DWORD result = ~0u;
    {
        kxtest::RegistryCallLog log;
        log.DenyClassesRoot();
        result = Install(DIF_INSTALLINTERFACES);
    }
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), result);
    EXPECT_EQ(before, DescribeNetworkExplorerKeys());
}

// A registration that cannot set a tree aside touches neither; one that cannot delete a tree
// puts back what it deleted; a removal still tries the other tree. Each names the error, and
// none leaves a copy behind, nor puts back a stale one that a renewal which never finished left.
TEST_F(NetworkExplorerKeys, AKeyThatCannotBeSetAsideOrDeletedNamesItsError)
{
    using Fault = void (kxtest::RegistryCallLog::*)(const std::wstring&, LONG);
    const struct {
        BOOL install;
        Fault fault;
        std::wstring path;
    } cases[] = {
        {TRUE, &kxtest::RegistryCallLog::FailCreation, Below(kxtest::ExpectedBackupKeyPath, DeviceTypeName)},
        {TRUE, &kxtest::RegistryCallLog::FailDeletion, ExpectedDeviceTypeKeyPath},
        {FALSE, &kxtest::RegistryCallLog::FailDeletion, ExpectedDeviceTypeKeyPath},
    };
    for (const auto& test : cases) {
        Install(DIF_INSTALLINTERFACES);
        const std::wstring before = DescribeNetworkExplorerKeys();
        kxtest::CreateKeys(HKEY_CLASSES_ROOT, kxtest::ExpectedBackupKeyPath, {Below(DeviceTypeName, L"Stale")});
        HRESULT result = S_OK;
        {
            kxtest::RegistryCallLog log;
            (log.*test.fault)(test.path, ERROR_CANTWRITE);
            ::SetLastError(0xdeadbeef);
            result = DllInstall(test.install, L"");
        }
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_CANTWRITE), result) << kxtest::ToUtf8(test.path);
        const std::wstring undeletableLeft = L"hardware id:\ndevice type:\n" + kxtest::DescribeSnapshot({{L"", {}}});
        EXPECT_EQ(test.install ? before : undeletableLeft, DescribeNetworkExplorerKeys()) << kxtest::ToUtf8(test.path);
        EXPECT_FALSE(kxtest::KeyExists(HKEY_CLASSES_ROOT, kxtest::ExpectedBackupKeyPath)) << kxtest::ToUtf8(test.path);
    }
}

TEST_F(NetworkExplorerKeys, RunningOutOfMemoryForACaptionEndsTheCallQuietly)
{
    for (int failing = 0;; ++failing) {
        kxtest::DeleteNetworkExplorerKeys();
        kxtest::AllocationFaults faults(kxtest::TestProgramModule(), failing);
        EXPECT_EQ(static_cast<DWORD>(NO_ERROR), Install(DIF_INSTALLINTERFACES)) << failing;
        EXPECT_EQ(0, faults.Outstanding()) << failing;
        if (!faults.InjectedFailure()) {
            EXPECT_GT(failing, 0);
            break;
        }
    }
    EXPECT_EQ(DescribeExpectedKeys(kxtest::ExpectedCaptions()), DescribeNetworkExplorerKeys());
}

} // namespace
