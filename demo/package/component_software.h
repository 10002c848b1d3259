#pragma once

#include <string>

namespace kxdemo {

// Windows' part in a declarative package that Wine lacks: Wine implements neither AddComponent
// nor AddSoftware. These read the same INF lines that Windows reads there, through SetupAPI, on
// this machine's processor.

// The hardware id of the software component child that the INF serving the device asks for
// (AddComponent, ComponentIDs, "SWC\" prepended as Windows does); "" when there is none.
std::wstring ComponentHardwareId(const std::wstring& packageFolder, const std::wstring& deviceHardwareId);

// What the INF serving the component asks Windows to run once the component is installed.
struct ComponentSoftware {
    std::wstring infPath;
    std::wstring name; // AddSoftware's software name
    std::wstring type; // SoftwareType: 1 for an MSI or an EXE
    std::wstring binary; // SoftwareBinary as SetupAPI expands it (%13%, the driver store, is unknown to Wine)
    std::wstring version; // SoftwareVersion
    std::wstring fileName; // SoftwareBinary's file name
};
ComponentSoftware SoftwareOfComponent(const std::wstring& packageFolder, const std::wstring& componentHardwareId);

// The command line with which Windows runs an AddSoftware type 1 MSI: no user interface.
std::wstring AddSoftwareCommandLine(const std::wstring& installer);

// The CatalogFile that the INF names; "" when it names none.
std::wstring CatalogOf(const std::wstring& infPath);

} // namespace kxdemo
