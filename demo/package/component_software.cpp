#include "component_software.h"

#include "device_list.h"
#include "package_installation.h"

namespace kxdemo {

namespace {

InfFile OpenInf(const std::wstring& path)
{
    return InfFile(::SetupOpenInfFileW(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr));
}

// A field of the first line with the key in the section; "" when there is none.
std::wstring InfField(const InfFile& inf, const std::wstring& section, const wchar_t* key, DWORD field)
{
    INFCONTEXT line = {};
    wchar_t text[MAX_INF_STRING_LENGTH] = {};
    const bool found = inf && ::SetupFindFirstLineW(inf.get(), section.c_str(), key, &line) &&
                       ::SetupGetStringFieldW(&line, field, text, MAX_INF_STRING_LENGTH, nullptr);
    return found ? text : L"";
}

// A model's install section as Windows takes it on this processor (.NTamd64, .NTarm64 or .NT).
std::wstring ActualSection(const InfFile& inf, const std::wstring& installSection)
{
    wchar_t actual[MAX_INF_SECTION_NAME_LENGTH] = {};
    const bool found = inf && ::SetupDiGetActualSectionToInstallW(inf.get(), installSection.c_str(), actual,
                                                                  MAX_INF_SECTION_NAME_LENGTH, nullptr, nullptr);
    return found ? actual : installSection;
}

} // namespace

std::wstring ComponentHardwareId(const std::wstring& packageFolder, const std::wstring& deviceHardwareId)
{
    const InfModel device = FindModel(packageFolder, deviceHardwareId);
    const InfFile inf = OpenInf(device.infPath);
    const std::wstring components = ActualSection(inf, device.installSection) + L".Components";
    const std::wstring id = InfField(inf, InfField(inf, components, L"AddComponent", 3), L"ComponentIDs", 1);
    return id.empty() ? L"" : L"SWC\\" + id;
}

ComponentSoftware SoftwareOfComponent(const std::wstring& packageFolder, const std::wstring& componentHardwareId)
{
    const InfModel component = FindModel(packageFolder, componentHardwareId);
    const InfFile inf = OpenInf(component.infPath);
    const std::wstring software = ActualSection(inf, component.installSection) + L".Software";
    const std::wstring section = InfField(inf, software, L"AddSoftware", 3);
    ComponentSoftware result{component.infPath,
                             InfField(inf, software, L"AddSoftware", 1),
                             InfField(inf, section, L"SoftwareType", 1),
                             InfField(inf, section, L"SoftwareBinary", 1),
                             InfField(inf, section, L"SoftwareVersion", 1),
                             L""};
    result.fileName = result.binary.substr(result.binary.find_last_of(L"\\/") + 1);
    return result;
}

std::wstring AddSoftwareCommandLine(const std::wstring& installer)
{
    return L"msiexec /i \"" + installer + L"\" ALLUSERS=1 /quiet /qn /promptrestart";
}

std::wstring CatalogOf(const std::wstring& infPath)
{
    return InfField(OpenInf(infPath), L"Version", L"CatalogFile", 1);
}

} // namespace kxdemo
