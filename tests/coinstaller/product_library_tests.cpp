#include "device_info_set.h"
#include "network_explorer_expectations.h"
#include "product_library.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

namespace {

kxtest::ProcessOutput QueryTree(const std::wstring& path)
{
    return kxtest::RunProcessCapturingOutput(L"reg.exe query \"HKEY_CLASSES_ROOT\\" + path + L"\" /s", 30000);
}

// The value rows of `reg query /s` as "key | name | type | data", one per value.
std::set<std::string> ValueRows(const std::string& output)
{
    std::set<std::string> rows;
    std::istringstream lines(output);
    std::string line;
    std::string key;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind("    ", 0) == 0) {
            std::string row = line.substr(4);
            for (size_t separator; (separator = row.find("    ")) != std::string::npos;) {
                row.replace(separator, 4, " | ");
            }
            rows.insert(key + " | " + row);
        } else if (!line.empty()) {
            key = line;
        }
    }
    return rows;
}

std::set<std::string> ExpectedValueRows(const std::wstring& path, const kxtest::RegistrySnapshot& tree)
{
    std::set<std::string> rows;
    for (const auto& [relative, values] : tree) {
        const std::wstring key = L"HKEY_CLASSES_ROOT\\" + path + (relative.empty() ? L"" : L"\\" + relative);
        for (const auto& [name, value] : values) {
            const std::wstring text(reinterpret_cast<const wchar_t*>(value.data.data()));
            rows.insert(kxtest::ToUtf8(key + L" | " + (name.empty() ? L"(Default)" : name) + L" | REG_SZ | " + text));
        }
    }
    return rows;
}

// The built library in a folder of its own below the work folder, whose name is padded when
// the library's path is to have pathLength characters.
std::wstring CopyOfLibrary(const std::wstring& folderName, size_t pathLength = 0)
{
    std::wstring folder = kxtest::WorkDirectory() + L"\\" + kxtest::UniqueName(folderName);
    const std::wstring file = L"\\KXBL_VNTRTZ71_2_2_0.dll";
    folder.append(pathLength > folder.size() + file.size() ? pathLength - folder.size() - file.size() : 0, L'x');
    const std::wstring path = folder + file;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::CopyFileW(kxtest::ProductDllPath().c_str(), path.c_str(), FALSE);
    return path;
}

DWORD Regsvr32(const wchar_t* options, const std::wstring& path)
{
    return kxtest::RunProcess(std::wstring(L"regsvr32.exe ") + options + L" \"" + path + L"\"", 60000);
}

class ProductLibrary : public ::testing::Test {
protected:
    void SetUp() override { kxtest::DeleteNetworkExplorerKeys(); }
    void TearDown() override { kxtest::DeleteNetworkExplorerKeys(); }

    kxtest::CoInstallerEntry Load(const char* name) const { return library_.CoInstaller(name); }

private:
    kxtest::ProductLibrary library_;
};

// The built library as the framework would load it, read back by Wine's own registry tool.
TEST_F(ProductLibrary, RegistersAndRemovesTheDeviceThroughItsExports)
{
    const auto coDeviceInstall = Load("CoDeviceInstall");
    const auto tarnoD = Load("TarnoD");
    ASSERT_NE(nullptr, coDeviceInstall);
    ASSERT_NE(nullptr, tarnoD);
    kxtest::DeviceInfoSet devices;
    ASSERT_TRUE(devices.Valid());

    EXPECT_EQ(static_cast<DWORD>(NO_ERROR),
              coDeviceInstall(DIF_INSTALLINTERFACES, devices.Set(), devices.Element(), nullptr));
    const kxtest::ProcessOutput hardwareId = QueryTree(kxtest::ExpectedHardwareIdKeyPath);
    const kxtest::ProcessOutput deviceType = QueryTree(kxtest::ExpectedDeviceTypeKeyPath);
    EXPECT_EQ(0u, hardwareId.exitCode);
    EXPECT_EQ(ExpectedValueRows(kxtest::ExpectedHardwareIdKeyPath, kxtest::ExpectedHardwareIdTree()),
              ValueRows(hardwareId.text));
    EXPECT_EQ(ExpectedValueRows(kxtest::ExpectedDeviceTypeKeyPath,
                                kxtest::ExpectedDeviceTypeTree(kxtest::ExpectedCaptions())),
              ValueRows(deviceType.text));

    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), tarnoD(DIF_REMOVE, devices.Set(), devices.Element(), nullptr));
    EXPECT_EQ(1u, QueryTree(kxtest::ExpectedHardwareIdKeyPath).exitCode);
    EXPECT_EQ(1u, QueryTree(kxtest::ExpectedDeviceTypeKeyPath).exitCode);
    EXPECT_EQ(0u, QueryTree(L"NetworkExplorerPlugins").exitCode);
}

// As an installer registers the library: twice in a row over the co-installer's trees, then
// removed twice, the second time with nothing left to remove.
TEST_F(ProductLibrary, Regsvr32RegistersTheLibraryWhereItLiesAndRemovesIt)
{
    const auto coDeviceInstall = Load("CoDeviceInstall");
    ASSERT_NE(nullptr, coDeviceInstall);
    kxtest::DeviceInfoSet devices;
    for (const wchar_t* folder : {L"plain-", L"with blank-"}) {
        const std::wstring path = CopyOfLibrary(folder);
        coDeviceInstall(DIF_INSTALLINTERFACES, devices.Set(), devices.Element(), nullptr);
        for (int run = 1; run <= 2; ++run) {
            EXPECT_EQ(0u, Regsvr32(L"/s /n /i", path)) << run;
            EXPECT_EQ(kxtest::DescribeExpectedKeys(kxtest::ExpectedCaptions(), kxtest::LibraryAt(path)),
                      kxtest::DescribeNetworkExplorerKeys())
                << kxtest::ToUtf8(path) << " run " << run;
        }
        for (int run = 1; run <= 2; ++run) {
            EXPECT_EQ(0u, Regsvr32(L"/s /n /u /i", path)) << run;
            EXPECT_EQ(L"hardware id:\ndevice type:\n", kxtest::DescribeNetworkExplorerKeys()) << run;
        }
    }
    EXPECT_EQ(0u, QueryTree(L"NetworkExplorerPlugins").exitCode);
}

// Loaded from where it lies, so that the registration reads the path itself. The shell and
// rundll32 take a path of up to MAX_PATH - 1 characters whole.
TEST_F(ProductLibrary, DllInstallRefusesAPathOfMaxPathCharactersOrMore)
{
    for (const size_t length : {259u, 260u}) {
        const std::wstring path = CopyOfLibrary(L"long-", length);
        ASSERT_EQ(length, path.size());
        const kxtest::ProductLibrary library(path);
        const auto dllInstall = reinterpret_cast<HRESULT(WINAPI*)(BOOL, PCWSTR)>(
            reinterpret_cast<void*>(::GetProcAddress(library.Module(), "DllInstall")));
        ASSERT_NE(nullptr, dllInstall) << length;
        ::SetLastError(0xdeadbeef);
        const HRESULT result = dllInstall(TRUE, L"");
        if (length < MAX_PATH) {
            EXPECT_EQ(S_OK, result);
            EXPECT_EQ(kxtest::DescribeExpectedKeys(kxtest::ExpectedCaptions(), kxtest::LibraryAt(path)),
                      kxtest::DescribeNetworkExplorerKeys());
            kxtest::DeleteNetworkExplorerKeys();
        } else {
            EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), result);
            EXPECT_EQ(L"hardware id:\ndevice type:\n", kxtest::DescribeNetworkExplorerKeys());
        }
    }
}

} // namespace
