#pragma once

#include <windows.h>
#include <setupapi.h>

// Older SDK headers lack the finish-install action.
#ifndef DIF_FINISHINSTALL_ACTION
#define DIF_FINISHINSTALL_ACTION 0x0000002A
#endif
#ifndef DI_FLAGSEX_FINISHINSTALL_ACTION
#define DI_FLAGSEX_FINISHINSTALL_ACTION 0x00000008L
#endif

// The device co-installer. SetupAPI calls it once for each step of installing or removing the
// device node; it answers NO_ERROR whatever happens and never asks for post-processing. The
// device's installation information may name either export: both behave the same.
extern "C" {
DWORD WINAPI CoDeviceInstall(DI_FUNCTION installFunction, HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                             PCOINSTALLER_CONTEXT_DATA context);
DWORD WINAPI TarnoD(DI_FUNCTION installFunction, HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                    PCOINSTALLER_CONTEXT_DATA context);
}
