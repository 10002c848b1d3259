#include "package_installation.h"

#include "device_list.h"

#include <newdev.h>

#include <fstream>
#include <iterator>

#ifndef DI_FLAGSEX_FINISHINSTALL_ACTION
#define DI_FLAGSEX_FINISHINSTALL_ACTION 0x00000008L
#endif

namespace kxdemo {

namespace {

// The first file of the folder that matches the pattern ("*.inf"), as a full path; "" if none.
std::wstring FirstFileIn(const std::wstring& folder, const wchar_t* pattern)
{
    WIN32_FIND_DATAW found = {};
    const FileSearch search(::FindFirstFileW((folder + L"\\" + pattern).c_str(), &found));
    if (!search) {
        return L"";
    }
    return folder + L"\\" + found.cFileName;
}

std::string FileBytes(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// "KXBL.dll,CoDeviceInstall" names C:\windows\system32\KXBL.dll.
std::wstring System32PathOf(const std::wstring& coInstallerEntry)
{
    wchar_t system32[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(system32, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return L"";
    }
    return std::wstring(system32) + L"\\" + coInstallerEntry.substr(0, coInstallerEntry.find(L','));
}

// The files that the INF's [SourceDisksFiles] sections name and the package folder lacks.
// Checked before newdev runs: Wine's newdev waits for a missing source file without end, and
// Windows refuses such a package when it is added to the driver store.
std::vector<std::wstring> MissingSourceFiles(const std::wstring& infPath, const std::wstring& packageFolder)
{
    std::vector<std::wstring> missing;
    const InfFile inf(::SetupOpenInfFileW(infPath.c_str(), nullptr, INF_STYLE_WIN4, nullptr));
    if (!inf) {
        return {infPath};
    }
    for (const wchar_t* section : {L"SourceDisksFiles", L"SourceDisksFiles.amd64"}) {
        INFCONTEXT line = {};
        for (BOOL more = ::SetupFindFirstLineW(inf.get(), section, nullptr, &line); more;
             more = ::SetupFindNextLine(&line, &line)) {
            wchar_t name[MAX_PATH] = {};
            if (::SetupGetStringFieldW(&line, 0, name, MAX_PATH, nullptr) &&
                ::GetFileAttributesW((packageFolder + L"\\" + name).c_str()) == INVALID_FILE_ATTRIBUTES) {
                missing.emplace_back(name);
            }
        }
    }
    return missing;
}

void ReadBackDriver(const std::wstring& hardwareId, InstallationReport& report)
{
    ForEachDevice(hardwareId, [&report](HDEVINFO devices, SP_DEVINFO_DATA& device) {
        if (DeviceInstanceId(devices, device) != report.deviceInstanceId) {
            return true;
        }
        const std::vector<std::wstring> driver = DeviceTexts(devices, device, SPDRP_DRIVER);
        report.driverKey = driver.empty() ? L"" : driver.front();
        report.coInstallers = DriverKeyCoInstallers(devices, device);
        return false;
    });
    if (!report.coInstallers.empty()) {
        report.installedDll = System32PathOf(report.coInstallers.front());
        const std::string installed = FileBytes(report.installedDll);
        report.installedDllIsThePackaged =
            !report.packagedDll.empty() && !installed.empty() && installed == FileBytes(report.packagedDll);
    }
}

void RemoveDevice(const std::wstring& hardwareId, const std::wstring& instanceId)
{
    ForEachDevice(hardwareId, [&instanceId](HDEVINFO devices, SP_DEVINFO_DATA& device) {
        if (DeviceInstanceId(devices, device) != instanceId) {
            return true;
        }
        ::SetupDiCallClassInstaller(DIF_REMOVE, devices, &device);
        return false;
    });
}

} // namespace

InstallationReport InstallFromPackage(const std::wstring& packageFolder, const std::wstring& hardwareId)
{
    InstallationReport report;
    report.infPath = FirstFileIn(packageFolder, L"*.inf");
    report.packagedDll = FirstFileIn(packageFolder, L"*.dll");
    if (report.infPath.empty()) {
        report.error = L"the package holds no INF";
        return report;
    }
    for (const std::wstring& missing : MissingSourceFiles(report.infPath, packageFolder)) {
        report.error += (report.error.empty() ? L"the package lacks " : L", ") + missing;
    }
    if (!report.error.empty()) {
        return report;
    }
    report.deviceInstanceId = CreateRootDevice(report.infPath, hardwareId, report.error);
    if (report.deviceInstanceId.empty()) {
        return report;
    }
    BOOL rebootRequired = FALSE;
    // Its answer says nothing: it is TRUE whether or not a driver of the INF matched.
    ::UpdateDriverForPlugAndPlayDevicesW(nullptr, hardwareId.c_str(), report.infPath.c_str(), INSTALLFLAG_FORCE,
                                         &rebootRequired);
    ReadBackDriver(hardwareId, report);
    if (!report.Installed()) {
        RemoveDevice(hardwareId, report.deviceInstanceId);
    }
    return report;
}

int RemoveDevices(const std::wstring& hardwareId)
{
    int removed = 0;
    ForEachDevice(hardwareId, [&removed](HDEVINFO devices, SP_DEVINFO_DATA& device) {
        removed += ::SetupDiCallClassInstaller(DIF_REMOVE, devices, &device) ? 1 : 0;
        return true;
    });
    return removed;
}

bool RequestsFinishInstallAction(const std::wstring& hardwareId)
{
    bool requested = false;
    ForEachDevice(hardwareId, [&requested](HDEVINFO devices, SP_DEVINFO_DATA& device) {
        SP_DEVINSTALL_PARAMS_W parameters = {};
        parameters.cbSize = sizeof(parameters);
        // No default handler answers this code, so the call's own result says nothing.
        ::SetupDiCallClassInstaller(DIF_NEWDEVICEWIZARD_FINISHINSTALL, devices, &device);
        requested = ::SetupDiGetDeviceInstallParamsW(devices, &device, &parameters) &&
                    (parameters.FlagsEx & DI_FLAGSEX_FINISHINSTALL_ACTION) != 0;
        return false;
    });
    return requested;
}

} // namespace kxdemo
