#include "network_explorer_expectations.h"

#include "test_environment.h"

namespace kxtest {

const wchar_t ExpectedHardwareIdKeyPath[] = L"NetworkExplorerPlugins\\VEN_011A&DEV_0080&REV_01";
const wchar_t ExpectedDeviceTypeKeyPath[] =
    L"NetworkExplorerPlugins\\urn:corvanta-com:device:NetworkAttachedStorage:VNTRTZ71";
const wchar_t ExpectedBackupKeyPath[] = L"KXVantorel.NetworkExplorerBackup";

VerbCaptions ExpectedCaptions()
{
    const std::wstring language = EnvironmentText(L"KX_CAPTION_LANGUAGE");
    if (language == L"de") {
        return {L"Öffnen", L"Einbinden", L"Connector-Software installieren"};
    }
    if (language == L"fr") {
        return {L"Ouvrir", L"Montage", L"Installer le logiciel Connector"};
    }
    if (language == L"ja") {
        return {L"開く", L"マウント", L"コネクタソフトウェアをインストール"};
    }
    if (language == L"zh-TW") {
        return {L"開啟", L"掛接", L"安裝連接器軟體"};
    }
    return {L"Open", L"Mount", L"Install Connector Software"};
}

ExpectedLibrary SystemLibrary()
{
    return {L"%SystemRoot%\\System32\\KXBL_VNTRTZ71_2_2_0.dll", L"KXBL_VNTRTZ71_2_2_0.dll"};
}

ExpectedLibrary LibraryAt(const std::wstring& path)
{
    return {path, path.find(L' ') == std::wstring::npos ? path : L"\"" + path + L"\""};
}

RegistrySnapshot ExpectedHardwareIdTree(const ExpectedLibrary& library)
{
    return {
        {L"", {}},
        {L"DefaultIcon", {{L"", StringValue(library.iconPath + L",-102")}}},
        {L"shell", {}},
        {L"shell\\Open Media Player", {{L"MUIVerb", StringValue(L"Open Media Player")}}},
        {L"shell\\Open Media Player\\command",
         {{L"", StringValue(L"\"C:\\Program Files\\Windows Media Player\\wmplayer.exe\"")}}},
    };
}

RegistrySnapshot ExpectedDeviceTypeTree(const VerbCaptions& captions, const ExpectedLibrary& library)
{
    const auto command = [&](const wchar_t* entry) {
        return StringValue(L"rundll32.exe " + library.commandName + L"," + entry + L" %1");
    };
    return {
        {L"", {}},
        {L"DefaultIcon", {{L"", StringValue(library.iconPath + L",-101")}}},
        {L"shell", {{L"", StringValue(L"Open")}}},
        {L"shell\\Open", {{L"MUIVerb", StringValue(captions.open)}}},
        {L"shell\\Open\\command", {{L"", command(L"ShellCommandOpen")}}},
        {L"shell\\Mount", {{L"MUIVerb", StringValue(captions.mount)}}},
        {L"shell\\Mount\\command", {{L"", command(L"ShellCommandMount")}}},
        {L"shell\\InstallConnect", {{L"MUIVerb", StringValue(captions.installConnector)}}},
        {L"shell\\InstallConnect\\command", {{L"", command(L"ShellCommandInstallConnect")}}},
    };
}

std::wstring DescribeNetworkExplorerKeys()
{
    return L"hardware id:\n" + DescribeSnapshot(TakeRegistrySnapshot(HKEY_CLASSES_ROOT, ExpectedHardwareIdKeyPath)) +
           L"device type:\n" + DescribeSnapshot(TakeRegistrySnapshot(HKEY_CLASSES_ROOT, ExpectedDeviceTypeKeyPath));
}

std::wstring DescribeExpectedKeys(const VerbCaptions& captions, const ExpectedLibrary& library)
{
    return L"hardware id:\n" + DescribeSnapshot(ExpectedHardwareIdTree(library)) + L"device type:\n" +
           DescribeSnapshot(ExpectedDeviceTypeTree(captions, library));
}

void DeleteNetworkExplorerKeys()
{
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, ExpectedHardwareIdKeyPath);
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, ExpectedHardwareIdKeyPath);
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, ExpectedDeviceTypeKeyPath);
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, ExpectedDeviceTypeKeyPath);
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, ExpectedBackupKeyPath);
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, ExpectedBackupKeyPath);
}

std::wstring RegisteredCommand(const wchar_t* verb)
{
    wchar_t command[1024] = {};
    DWORD size = sizeof(command);
    const std::wstring key = std::wstring(ExpectedDeviceTypeKeyPath) + L"\\shell\\" + verb + L"\\command";
    ::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, command, &size);
    return command;
}

std::wstring LibraryOfCommand(const std::wstring& command)
{
    const std::wstring program = L"rundll32.exe ";
    if (command.compare(0, program.size(), program) != 0) {
        return L"";
    }
    std::wstring library = command.substr(program.size(), command.find(L',') - program.size());
    if (library.size() >= 2 && library.front() == L'"' && library.back() == L'"') {
        library = library.substr(1, library.size() - 2);
    }
    return library;
}

} // namespace kxtest
