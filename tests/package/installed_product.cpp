#include "installed_product.h"

#include "common/unique_handle.h"
#include "test_environment.h"

#include <msi.h>
#include <msiquery.h>
#include <propidl.h>

#include <cwchar>

namespace kxtest {

namespace {

struct MsiHandleTraits {
    using pointer = MSIHANDLE;
    static pointer invalid() noexcept { return 0; }
    static void close(pointer handle) noexcept { ::MsiCloseHandle(handle); }
};
using MsiHandle = kx::unique_any<MsiHandleTraits>;

} // namespace

DWORD Msiexec(const wchar_t* action, const std::wstring& installer)
{
    return RunProcess(std::wstring(L"msiexec.exe ") + action + L" \"" + installer + L"\" /qn", 300000);
}

std::wstring InstalledLibrary()
{
    wchar_t programFiles[MAX_PATH] = {};
    ::ExpandEnvironmentStringsW(L"%ProgramFiles%", programFiles, MAX_PATH);
    return std::wstring(programFiles) + L"\\Corvanta\\KX Vantorel\\KXBL_VNTRTZ71_2_2_0.dll";
}

std::vector<std::wstring> InstalledProducts()
{
    std::vector<std::wstring> products;
    wchar_t product[39];
    for (DWORD index = 0; ::MsiEnumRelatedProductsW(InstallerUpgradeCode, 0, index, product) == ERROR_SUCCESS;
         ++index) {
        products.emplace_back(product);
    }
    return products;
}

std::vector<std::wstring> InstalledVersions()
{
    std::vector<std::wstring> versions;
    for (const std::wstring& product : InstalledProducts()) {
        wchar_t version[64] = {};
        DWORD length = 64;
        ::MsiGetProductInfoW(product.c_str(), INSTALLPROPERTY_VERSIONSTRING, version, &length);
        versions.emplace_back(version);
    }
    return versions;
}

std::wstring InstallerVersionOf(const std::wstring& libraryVersion)
{
    unsigned long fields[4] = {};
    const wchar_t* cursor = libraryVersion.c_str();
    for (unsigned long& field : fields) {
        wchar_t* end = nullptr;
        field = std::wcstoul(cursor, &end, 10);
        cursor = *end == L'.' ? end + 1 : end;
    }
    return std::to_wstring(fields[0]) + L"." + std::to_wstring(fields[1]) + L"." +
           std::to_wstring(fields[2] * 1000 + fields[3]);
}

std::wstring InstallerTemplate(const std::wstring& installer)
{
    MsiHandle summary;
    if (::MsiGetSummaryInformationW(0, installer.c_str(), 0, summary.put()) != ERROR_SUCCESS) {
        return L"";
    }
    wchar_t text[64] = {};
    DWORD length = 64;
    UINT type = 0;
    const UINT read =
        ::MsiSummaryInfoGetPropertyW(summary.get(), PIDSI_TEMPLATE, &type, nullptr, nullptr, text, &length);
    return read == ERROR_SUCCESS ? text : L"";
}

} // namespace kxtest
