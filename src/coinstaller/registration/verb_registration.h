#pragma once

#include "coinstaller/registration/network_explorer_keys.h"

#include <windows.h>

namespace kx {

// Where the trees say the library lies: the path that icon locations name, and the library as a
// rundll32 command line names it (a bare file name that rundll32 finds in System32, or a path,
// quoted when it holds a blank).
struct LibraryLocation {
    const wchar_t* iconPath;
    const wchar_t* commandName;
};

// The library installed as %SystemRoot%\System32\KXBL_VNTRTZ71_2_2_0.dll, as the driver package
// places it.
extern const LibraryLocation SystemLibraryLocation;

// Every value that names the library, composed before anything is written.
struct LibraryValues {
    wchar_t hardwareIdIcon[RegistryTextLength];
    wchar_t deviceTypeIcon[RegistryTextLength];
    wchar_t openCommand[RegistryTextLength];
    wchar_t mountCommand[RegistryTextLength];
    wchar_t installConnectorCommand[RegistryTextLength];
};

// False when a value would not fit its buffer: a cut path would name another file.
bool ComposeLibraryValues(const LibraryLocation& location, LibraryValues& values) noexcept;

// Write the Network Explorer key trees afresh over whatever the keys hold; captions are taken
// in the current UI language. A key that cannot be created is left out together with what lies
// below it, and the rest is still written. The answer is the first failure of a key creation or
// of a value write (ERROR_SUCCESS when everything was written).
LONG RegisterHardwareIdVerbs(const LibraryValues& values);
LONG RegisterDeviceTypeVerbs(const LibraryValues& values);

} // namespace kx
