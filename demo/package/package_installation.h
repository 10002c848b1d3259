#pragma once

#include <string>
#include <vector>

namespace kxdemo {

// What an installation from a driver package left behind, read back from the device node, its
// driver key and System32 rather than taken from the framework's answer: newdev reports
// success even when no driver of the package matched.
struct InstallationReport {
    std::wstring infPath; // the package's INF; "" when it holds none
    std::wstring packagedDll; // the package's DLL for this processor; "" when it holds none
    std::wstring deviceInstanceId; // the node made for the installation; "" when none could be
    std::wstring error; // why the node could not be made
    std::wstring driverKey; // the node's driver key; "" when no driver was installed
    std::vector<std::wstring> coInstallers; // CoInstallers32 of the driver key
    std::wstring installedDll; // System32's copy of the first co-installer named there
    bool installedDllIsThePackaged = false;

    // A package that copies a co-installer is installed when that co-installer is in place; a
    // declarative one, which names no DLL, when the node has a driver and no co-installer.
    bool Installed() const
    {
        if (packagedDll.empty()) {
            return !driverKey.empty() && coInstallers.empty();
        }
        return !driverKey.empty() && !coInstallers.empty() && installedDllIsThePackaged;
    }
};

// The model of a package folder's INF that serves the hardware id on this machine's processor.
struct InfModel {
    std::wstring infPath; // "" when no INF of the folder names the hardware id
    std::wstring installSection; // as the models section names it, undecorated
};
InfModel FindModel(const std::wstring& packageFolder, const std::wstring& hardwareId);

// Makes a root device node with the hardware id and has newdev install the package's driver on
// it, from the INF of the folder that names the hardware id (its first INF when none does). When
// the result is not a complete installation the node is removed again, so that a broken package
// leaves nothing behind.
InstallationReport InstallFromPackage(const std::wstring& packageFolder, const std::wstring& hardwareId);

// Sends DIF_REMOVE through the framework to every device node with the hardware id; the
// number of nodes removed.
int RemoveDevices(const std::wstring& hardwareId);

// Sends DIF_NEWDEVICEWIZARD_FINISHINSTALL through the framework to the first node with the
// hardware id and tells whether a co-installer answered with a finish-install request.
bool RequestsFinishInstallAction(const std::wstring& hardwareId);

} // namespace kxdemo
