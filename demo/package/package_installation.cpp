#include "package_installation.h"

#include "device_list.h"

#include <newdev.h>
#include <shlwapi.h>

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

// The package holds a DLL for each processor; the framework copies the one that the INF's
// section for its own processor names, and takes the models of that processor.
#if defined(_M_ARM64) || defined(__aarch64__)
constexpr wchar_t ProcessorSourceFiles[] = L"SourceDisksFiles.arm64";
constexpr wchar_t ProcessorModels[] = L".NTarm64";
#else
constexpr wchar_t ProcessorSourceFiles[] = L"SourceDisksFiles.amd64";
constexpr wchar_t ProcessorModels[] = L".NTamd64";
#endif

std::wstring StringField(INFCONTEXT& line, DWORD field)
{
    wchar_t text[MAX_INF_STRING_LENGTH] = {};
    return ::SetupGetStringFieldW(&line, field, text, MAX_INF_STRING_LENGTH, nullptr) ? text : L"";
}

// The install section of the INF's model for the hardware id on this processor; "" if none.
std::wstring ModelInstallSection(HINF inf, const std::wstring& hardwareId)
{
    INFCONTEXT maker = {};
    for (BOOL more = ::SetupFindFirstLineW(inf, L"Manufacturer", nullptr, &maker); more;
         more = ::SetupFindNextLine(&maker, &maker)) {
        const std::wstring models = StringField(maker, 1) + ProcessorModels;
        INFCONTEXT model = {};
        for (BOOL found = ::SetupFindFirstLineW(inf, models.c_str(), nullptr, &model); found;
             found = ::SetupFindNextLine(&model, &model)) {
            for (DWORD field = 2; field <= ::SetupGetFieldCount(&model); ++field) {
                if (StringField(model, field) == hardwareId) {
                    return StringField(model, 1);
                }
            }
        }
    }
    return L"";
}

// Checks that the package folder holds every file that the INF's [SourceDisksFiles] sections of
// this processor name, and finds the DLL among them. Checked before newdev runs: Wine's newdev
// waits for a missing source file without end, and Windows refuses such a package when it is
// added to the driver store.
void CheckSourceFiles(const std::wstring& packageFolder, InstallationReport& report)
{
    const InfFile inf(::SetupOpenInfFileW(report.infPath.c_str(), nullptr, INF_STYLE_WIN4, nullptr));
    if (!inf) {
        report.error = L"the package lacks " + report.infPath;
        return;
    }
    for (const wchar_t* section : {L"SourceDisksFiles", ProcessorSourceFiles}) {
        INFCONTEXT line = {};
        for (BOOL more = ::SetupFindFirstLineW(inf.get(), section, nullptr, &line); more;
             more = ::SetupFindNextLine(&line, &line)) {
            wchar_t name[MAX_PATH] = {};
            if (!::SetupGetStringFieldW(&line, 0, name, MAX_PATH, nullptr)) {
                continue;
            }
            const std::wstring path = packageFolder + L"\\" + name;
            if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
                report.error += (report.error.empty() ? L"the package lacks " : L", ") + std::wstring(name);
            } else if (report.packagedDll.empty() && ::PathMatchSpecW(name, L"*.dll")) {
                report.packagedDll = path;
            }
        }
    }
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

InfModel FindModel(const std::wstring& packageFolder, const std::wstring& hardwareId)
{
    WIN32_FIND_DATAW found = {};
    const FileSearch search(::FindFirstFileW((packageFolder + L"\\*.inf").c_str(), &found));
    for (BOOL more = search ? TRUE : FALSE; more; more = ::FindNextFileW(search.get(), &found)) {
        const std::wstring path = packageFolder + L"\\" + found.cFileName;
        const InfFile inf(::SetupOpenInfFileW(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr));
        const std::wstring installSection = inf ? ModelInstallSection(inf.get(), hardwareId) : L"";
        if (!installSection.empty()) {
            return {path, installSection};
        }
    }
    return {};
}

InstallationReport InstallFromPackage(const std::wstring& packageFolder, const std::wstring& hardwareId)
{
    InstallationReport report;
    report.infPath = FindModel(packageFolder, hardwareId).infPath;
    if (report.infPath.empty()) {
        // Newdev then finds no driver in it: the installation is judged by what it left.
        report.infPath = FirstFileIn(packageFolder, L"*.inf");
    }
    if (report.infPath.empty()) {
        report.error = L"the package holds no INF";
        return report;
    }
    CheckSourceFiles(packageFolder, report);
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
