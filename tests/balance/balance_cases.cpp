#include "balance_cases.h"

#include "test_environment.h"

namespace kxtest {

SimulatedNas::SimulatedNas(const std::vector<std::wstring>& shares)
    : host_(shares), device_(NewUdn(), L"http://" + host_.Name() + L":5000/rootDesc.xml")
{
}

void CoInstallerCase::SetUp()
{
    ASSERT_NE(nullptr, library_.Module());
    entry_ = library_.CoInstaller();
    ASSERT_NE(nullptr, entry_);
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
    return Call(GetParam().code);
}

void CoInstallerCase::PrepareCall()
{
    if (GetParam().code == DIF_REMOVE) {
        Call(DIF_INSTALLINTERFACES);
    }
}

DWORD CoInstallerCase::Call(DI_FUNCTION code)
{
    return entry_(code, devices_.Set(), devices_.Element(), nullptr);
}

std::string CoInstallerCaseName(const ::testing::TestParamInfo<CoInstallerCode>& code)
{
    return std::to_string(code.param.code);
}

void SimulatedNas::FailEnumerationLate()
{
    host_.SetNumber(kxsim::HostBatchSizeValue, 1);
    host_.FailBatch(2, ERROR_UNEXP_NET_ERR);
    host_.SetNumber(kxsim::HostCloseErrorValue, ERROR_BAD_NETPATH);
}

std::string SimulatedNas::CommandLine(const char* verb) const
{
    return std::string("KXBL_VNTRTZ71_2_2_0.dll,") + verb + " " + ToUtf8(device_.Udn());
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
