#pragma once

#include <windows.h>

namespace kx {

// Deletes both Network Explorer trees, foreign subkeys included. True when both are gone.
bool RemoveNetworkExplorerKeys();

// The co-installer's renewal: both trees deleted and written afresh naming the library in
// System32. Failures are silent.
void RenewNetworkExplorerKeys();

// The same renewal for a library that lies at libraryPath (a full path), all or nothing: S_OK
// with both trees written, or the failing HRESULT with neither tree left. A path that would not
// fit the values, or that holds a character that would change what a command line or an icon
// location means (a quote, a comma, a percent sign), writes and deletes nothing.
HRESULT RenewNetworkExplorerKeysFor(const wchar_t* libraryPath);

} // namespace kx
