// Installs and removes the device the way Windows does, through the device-installation
// framework, for the main job: newdev installs the driver package on a root device node with
// the device's hardware id, and DIF_REMOVE removes the node again. Prints what the framework
// did, read back from the machine.
//
//   kx_package_demo.exe install <package folder> <hardware id>
//   kx_package_demo.exe software <package folder> <hardware id>
//   kx_package_demo.exe remove <hardware id>
//
// "software" plays Windows' part in a declarative package, which Wine lacks: it reads the
// software component that the device's INF asks for (AddComponent) and the software that the
// component's INF asks Windows to run (AddSoftware), and runs that installer as Windows does.
//
// Exit code: 0 when the installation, the software's installation or the removal is complete, 1
// when it is not (a failed installation leaves nothing behind), 2 for bad arguments.
#include "common/unique_handle.h"
#include "component_software.h"
#include "device_list.h"
#include "module_load_log.h"
#include "package_installation.h"

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr wchar_t CoInstallerNamePrefix[] = L"KXBL_VNTRTZ71";

void PrintLoads(const kxdemo::ModuleLoadLog& loads)
{
    if (!loads.Listening()) {
        std::wprintf(L"co-installer loads: the loader's notifications are not available\n");
        return;
    }
    std::map<std::wstring, int> countsByPath;
    for (const std::wstring& path : loads.LoadsOf(CoInstallerNamePrefix)) {
        ++countsByPath[path];
    }
    if (countsByPath.empty()) {
        std::wprintf(L"co-installer loaded by the framework: never\n");
    }
    for (const auto& [path, count] : countsByPath) {
        std::wprintf(L"co-installer loaded by the framework from %ls: %d time(s)\n", path.c_str(), count);
    }
}

void PrintFinishInstall(const std::wstring& hardwareId)
{
    std::wprintf(L"finish-install request: newdev's device list, on which the co-installer answered "
                 L"DIF_NEWDEVICEWIZARD_FINISHINSTALL, is gone when newdev returns; sent again through "
                 L"SetupDiCallClassInstaller, the co-installer %ls DI_FLAGSEX_FINISHINSTALL_ACTION. Wine 8 never "
                 L"follows with DIF_FINISHINSTALL_ACTION, so no finish-install action runs here.\n",
                 kxdemo::RequestsFinishInstallAction(hardwareId) ? L"sets" : L"does NOT set");
}

void PrintReadBack(const kxdemo::InstallationReport& report)
{
    std::wprintf(L"driver key: %ls\n", report.driverKey.empty() ? L"none (no driver of the package was installed)"
                                                                : report.driverKey.c_str());
    std::wprintf(L"CoInstallers32 in the driver key: %ls\n",
                 report.coInstallers.empty() ? L"none" : report.coInstallers.front().c_str());
    if (!report.installedDll.empty()) {
        std::wprintf(L"co-installer in System32: %ls, %ls\n", report.installedDll.c_str(),
                     report.installedDllIsThePackaged ? L"the package's DLL byte for byte"
                                                      : L"missing or NOT the package's DLL");
    }
}

int Install(const std::wstring& packageFolder, const std::wstring& hardwareId)
{
    const kxdemo::ModuleLoadLog loads;
    const kxdemo::InstallationReport report = kxdemo::InstallFromPackage(packageFolder, hardwareId);
    std::wprintf(L"package: INF %ls, DLL %ls\n", report.infPath.empty() ? L"none" : report.infPath.c_str(),
                 report.packagedDll.empty() ? L"none" : report.packagedDll.c_str());
    if (report.deviceInstanceId.empty()) {
        std::wprintf(L"%ls\nresult: NOT installed, nothing was changed\n", report.error.c_str());
        return 1;
    }
    std::wprintf(L"device node %ls made with hardware id %ls; newdev (UpdateDriverForPlugAndPlayDevicesW) "
                 L"ran with the package's INF; read back:\n",
                 report.deviceInstanceId.c_str(), hardwareId.c_str());
    PrintReadBack(report);
    if (!report.Installed()) {
        PrintLoads(loads);
        std::wprintf(L"result: NOT installed; the device node was removed again\n");
        return 1;
    }
    if (!report.coInstallers.empty()) {
        PrintFinishInstall(hardwareId);
    }
    PrintLoads(loads);
    std::wprintf(L"result: installed\n");
    return 0;
}

// The process's exit code; (DWORD)-1 when it could not be started or did not end in 5 minutes.
DWORD RunAndWait(const std::wstring& commandLine)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        return static_cast<DWORD>(-1);
    }
    const kx::unique_handle process(started.hProcess);
    const kx::unique_handle thread(started.hThread);
    DWORD exitCode = static_cast<DWORD>(-1);
    if (::WaitForSingleObject(process.get(), 300000) == WAIT_OBJECT_0) {
        ::GetExitCodeProcess(process.get(), &exitCode);
    }
    return exitCode;
}

int RunComponentSoftware(const std::wstring& packageFolder, const std::wstring& hardwareId)
{
    const std::wstring component = kxdemo::ComponentHardwareId(packageFolder, hardwareId);
    if (component.empty()) {
        std::wprintf(L"AddComponent: the package's INF for %ls asks for no software component\n", hardwareId.c_str());
        return 1;
    }
    std::wprintf(L"AddComponent (Windows makes the child node; Wine has no AddComponent): software component %ls\n",
                 component.c_str());
    const kxdemo::ComponentSoftware software = kxdemo::SoftwareOfComponent(packageFolder, component);
    std::wprintf(L"AddSoftware in %ls (Windows runs it once the component is installed; Wine has no AddSoftware): "
                 L"%ls, SoftwareType %ls, SoftwareBinary %ls (DIRID 13, the driver store, which Wine lacks), "
                 L"SoftwareVersion %ls\n",
                 software.infPath.empty() ? L"no INF of the package" : software.infPath.c_str(), software.name.c_str(),
                 software.type.c_str(), software.binary.c_str(), software.version.c_str());
    if (software.type != L"1" || software.fileName.empty()) {
        std::wprintf(L"result: no installer to run\n");
        return 1;
    }
    const std::wstring command = kxdemo::AddSoftwareCommandLine(packageFolder + L"\\" + software.fileName);
    std::wprintf(L"run as Windows runs it, the package's copy standing in for the driver store's: %ls\n",
                 command.c_str());
    const DWORD exitCode = RunAndWait(command);
    std::wprintf(L"msiexec exit code: %lu\n", exitCode);
    return exitCode == 0 ? 0 : 1;
}

int Remove(const std::wstring& hardwareId)
{
    const kxdemo::ModuleLoadLog loads;
    const int removed = kxdemo::RemoveDevices(hardwareId);
    const size_t left = kxdemo::FindDevices(hardwareId).size();
    std::wprintf(L"DIF_REMOVE through SetupDiCallClassInstaller: %d device node(s) removed, %zu left\n", removed, left);
    PrintLoads(loads);
    return removed > 0 && left == 0 ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"install" && argc == 4) {
        return Install(argv[2], argv[3]);
    }
    if (command == L"software" && argc == 4) {
        return RunComponentSoftware(argv[2], argv[3]);
    }
    if (command == L"remove" && argc == 3) {
        return Remove(argv[2]);
    }
    std::fwprintf(stderr, L"usage: kx_package_demo install <package folder> <hardware id>\n"
                          L"       kx_package_demo software <package folder> <hardware id>\n"
                          L"       kx_package_demo remove <hardware id>\n");
    return 2;
}
