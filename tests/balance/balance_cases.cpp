#include "balance_cases.h"

namespace kxtest {

void CoInstallerCase::SetUp()
{
    ASSERT_NE(nullptr, library_.Module());
    entry_ = library_.CoInstaller();
    ASSERT_NE(nullptr, entry_);
    dllInstall_ = reinterpret_cast<decltype(dllInstall_)>(
        reinterpret_cast<void*>(::GetProcAddress(library_.Module(), "DllInstall")));
    ASSERT_NE(nullptr, dllInstall_);
    ASSERT_TRUE(devices_.Valid());
}

void CoInstallerCase::TearDown()
{
    if (entry_ != nullptr) {
        Call(DIF_REMOVE);
    }
}

DWORD CoInstallerCase::CallCodeUnderTest()
{
    if (GetParam().throughDllInstall) {
        return static_cast<DWORD>(dllInstall_(GetParam().code == DIF_INSTALLINTERFACES, L""));
    }
    return Call(GetParam().code);
}

void CoInstallerCase::PrepareCall()
{
    if (GetParam().code == DIF_REMOVE || GetParam().throughDllInstall) {
        Call(DIF_INSTALLINTERFACES);
    }
}

DWORD CoInstallerCase::Call(DI_FUNCTION code)
{
    return entry_(code, devices_.Set(), devices_.Element(), nullptr);
}

std::string CoInstallerCaseName(const ::testing::TestParamInfo<CoInstallerCode>& code)
{
    return std::to_string(code.param.code) + (code.param.throughDllInstall ? "_DllInstall" : "");
}

MountThroughDialog::MountThroughDialog(const ProductLibrary& library)
    : library_(library), nas_({L"Music", L"Videos"}), mount_(library.Verb("ShellCommandMount"))
{
    nas_.Host().Refuse(L"Videos", ERROR_ACCESS_DENIED);
}

void MountThroughDialog::Run()
{
    library_.RunVerb(mount_, nas_.CommandLine("ShellCommandMount"));
    EXPECT_TRUE(pilot_.WaitUntilIdle(10000));
}

} // namespace kxtest
