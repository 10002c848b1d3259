#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kxtest {

// The per-machine installer's product, as Windows Installer and the file system see it.
constexpr wchar_t InstallerUpgradeCode[] = L"{3F0C7A52-6A0E-4D4B-9F7E-2B9E5F1C8A11}";

// msiexec with the action (/i, /x) on the installer, without user interface; its exit code.
DWORD Msiexec(const wchar_t* action, const std::wstring& installer);

// Where the installer puts the library: %ProgramFiles%\Corvanta\KX Vantorel.
std::wstring InstalledLibrary();
// The product codes and the versions of every installed product of the installer's upgrade code.
std::vector<std::wstring> InstalledProducts();
std::vector<std::wstring> InstalledVersions();
// The product version that an installer of a library version w.x.y.z carries: w.x.(y*1000+z),
// since Windows Installer compares three fields.
std::wstring InstallerVersionOf(const std::wstring& libraryVersion);
// The summary's template of an installer ("x64;1033", "Arm64;1033"); "" when it cannot be read.
std::wstring InstallerTemplate(const std::wstring& installer);

} // namespace kxtest
