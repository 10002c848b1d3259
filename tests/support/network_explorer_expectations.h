#pragma once

#include "registry_snapshot.h"

#include <string>

namespace kxtest {

// The two keys as the shell looks for them, spelled out here rather than taken from the code.
extern const wchar_t ExpectedHardwareIdKeyPath[];
extern const wchar_t ExpectedDeviceTypeKeyPath[];

struct VerbCaptions {
    std::wstring open;
    std::wstring mount;
    std::wstring installConnector;
};

// The captions of the language named by KX_CAPTION_LANGUAGE (de, fr, ja, zh-TW; English when
// unset), which the test registration sets together with LC_ALL.
VerbCaptions ExpectedCaptions();

RegistrySnapshot ExpectedHardwareIdTree();
RegistrySnapshot ExpectedDeviceTypeTree(const VerbCaptions& captions);

// Both trees as HKEY_CLASSES_ROOT holds them now, one description for readable failures.
std::wstring DescribeNetworkExplorerKeys();
std::wstring DescribeExpectedKeys(const VerbCaptions& captions);

void DeleteNetworkExplorerKeys();

} // namespace kxtest
