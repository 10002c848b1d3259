#pragma once

#include "registry_snapshot.h"

#include <string>

namespace kxtest {

// The two keys as the shell looks for them, spelled out here rather than taken from the code.
extern const wchar_t ExpectedHardwareIdKeyPath[];
extern const wchar_t ExpectedDeviceTypeKeyPath[];
// Where a registration sets the trees aside while it replaces them, below HKEY_CLASSES_ROOT.
extern const wchar_t ExpectedBackupKeyPath[];

struct VerbCaptions {
    std::wstring open;
    std::wstring mount;
    std::wstring installConnector;
};

// The captions of the language named by KX_CAPTION_LANGUAGE (de, fr, ja, zh-TW; English when
// unset), which the test registration sets together with LC_ALL.
VerbCaptions ExpectedCaptions();

// The library as the trees name it: its path in icon locations, its name in command lines.
struct ExpectedLibrary {
    std::wstring iconPath;
    std::wstring commandName;
};
// The co-installer's form: System32, and the bare file name that rundll32 finds there.
ExpectedLibrary SystemLibrary();
// A registration's form: the path, quoted in command lines when it holds a blank.
ExpectedLibrary LibraryAt(const std::wstring& path);

RegistrySnapshot ExpectedHardwareIdTree(const ExpectedLibrary& library = SystemLibrary());
RegistrySnapshot ExpectedDeviceTypeTree(const VerbCaptions& captions, const ExpectedLibrary& library = SystemLibrary());

// Both trees as HKEY_CLASSES_ROOT holds them now, one description for readable failures.
std::wstring DescribeNetworkExplorerKeys();
std::wstring DescribeExpectedKeys(const VerbCaptions& captions, const ExpectedLibrary& library = SystemLibrary());

// Both trees and any copy set aside.
void DeleteNetworkExplorerKeys();

// The command line registered for a verb of the device-type key ("Open", "InstallConnect"), or "".
std::wstring RegisteredCommand(const wchar_t* verb);
// The library that such a command line hands to rundll32, its quotes removed.
std::wstring LibraryOfCommand(const std::wstring& command);

} // namespace kxtest
