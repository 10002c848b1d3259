#include "coinstaller/entry/coinstaller_entry.h"

#include "coinstaller/registration/network_explorer_trees.h"
#include "common/hresult_error.h"
#include "common/trace.h"

namespace kx {

namespace {

// The framework answers the request with DIF_FINISHINSTALL_ACTION later on; every other
// install parameter is handed back as it was read.
void RequestFinishInstallAction(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData) noexcept
{
    SP_DEVINSTALL_PARAMS_W parameters = {};
    parameters.cbSize = sizeof(parameters);
    if (!::SetupDiGetDeviceInstallParamsW(deviceInfoSet, deviceInfoData, &parameters)) {
        return;
    }
    parameters.FlagsEx |= DI_FLAGSEX_FINISHINSTALL_ACTION;
    ::SetupDiSetDeviceInstallParamsW(deviceInfoSet, deviceInfoData, &parameters);
}

void DispatchInstallFunction(DI_FUNCTION installFunction, HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData)
{
    switch (installFunction) {
    case DIF_REMOVE:
        RemoveNetworkExplorerKeys();
        break;
    case DIF_NEWDEVICEWIZARD_FINISHINSTALL:
        RequestFinishInstallAction(deviceInfoSet, deviceInfoData);
        break;
    case DIF_INSTALLINTERFACES:
        // As the framework installed it: System32. What fails is left as it is; nothing reports it.
        RenewNetworkExplorerKeys(SystemLibraryLocation);
        break;
    default:
        TraceLine(L"Unhandled install function: %d\r\n", static_cast<int>(installFunction));
        break;
    }
}

} // namespace

} // namespace kx

DWORD WINAPI TarnoD(DI_FUNCTION installFunction, HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                    PCOINSTALLER_CONTEXT_DATA /*context*/)
{
    kx::RunExportGuarded([&] { kx::DispatchInstallFunction(installFunction, deviceInfoSet, deviceInfoData); });
    return NO_ERROR;
}

DWORD WINAPI CoDeviceInstall(DI_FUNCTION installFunction, HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                             PCOINSTALLER_CONTEXT_DATA context)
{
    return TarnoD(installFunction, deviceInfoSet, deviceInfoData, context);
}
