#pragma once

#include "device_info_set.h"
#include "product_library.h"
#include "simulated_device.h"

#include <gtest/gtest.h>

#include <string>

namespace kxtest {

// The co-installer codes the suites run: the three the library handles and one it does not;
// and the registration entry, whose installation renews the trees as DIF_INSTALLINTERFACES does
// and whose removal deletes them as DIF_REMOVE does.
struct CoInstallerCode {
    DI_FUNCTION code;
    const char* name;
    bool throughDllInstall;
};
constexpr CoInstallerCode CoInstallerCodes[] = {
    {DIF_REMOVE, "DIF_REMOVE", false},
    {DIF_NEWDEVICEWIZARD_FINISHINSTALL, "DIF_NEWDEVICEWIZARD_FINISHINSTALL", false},
    {DIF_INSTALLINTERFACES, "DIF_INSTALLINTERFACES", false},
    {DIF_SELECTBESTCOMPATDRV, "DIF_SELECTBESTCOMPATDRV (unhandled)", false},
    {DIF_INSTALLINTERFACES, "DllInstall(TRUE)", true},
    {DIF_REMOVE, "DllInstall(FALSE)", true},
};

// One co-installer code at a time against a real device information set, through the loaded
// library.
class CoInstallerCase : public ::testing::TestWithParam<CoInstallerCode> {
protected:
    void SetUp() override;
    void TearDown() override;

    HMODULE Library() const { return library_.Module(); }
    // The co-installer's answer, or DllInstall's HRESULT.
    DWORD CallCodeUnderTest();
    // Removal is to delete whole trees each time, and a registration to replace (or keep) the
    // co-installer's: before either runs, the co-installer writes them.
    void PrepareCall();

private:
    DWORD Call(DI_FUNCTION code);

    ProductLibrary library_;
    CoInstallerEntry entry_ = nullptr;
    HRESULT(WINAPI* dllInstall_)(BOOL, PCWSTR) = nullptr;
    DeviceInfoSet devices_;
};

std::string CoInstallerCaseName(const ::testing::TestParamInfo<CoInstallerCode>& code);

// Under Wine every mapping made from the Mount dialog leaves one 40-byte block in the process
// heap that no call of the library allocated (the library's own blocks are counted exactly).
constexpr SIZE_T WineHeapPerDialogMapping = 64;

// The Mount verb through its dialog: a device with two standard shares whose second one refuses
// every mapping, so that runs end both through Close after a clean pass and through the close
// that follows a failed mapping; a pilot ticks both rows and presses Mount, then Close.
class MountThroughDialog {
public:
    explicit MountThroughDialog(const ProductLibrary& library);

    bool HasVerb() const { return mount_ != nullptr; }
    // One command; returns once the pilot has let go of the dialog too.
    void Run();
    const DialogAutopilot& Pilot() const { return pilot_; }

private:
    const ProductLibrary& library_;
    SimulatedNas nas_;
    VerbEntry mount_;
    DialogAutopilot pilot_;
};

} // namespace kxtest
