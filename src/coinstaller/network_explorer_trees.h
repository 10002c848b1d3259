#pragma once

#include <windows.h>

namespace kx {

// Deletes both Network Explorer trees, foreign subkeys included: ERROR_SUCCESS when both are
// gone, otherwise the first error that stopped a deletion (both are tried either way).
LONG RemoveNetworkExplorerKeys();

// The co-installer's renewal: both trees deleted and written afresh naming the library in
// System32. Failures are silent.
void RenewNetworkExplorerKeys();

// The same renewal for a library that lies at libraryPath (a full path), all or nothing: S_OK
// with both trees written, or the failing HRESULT with both trees as they were before (set
// aside below HKEY_CLASSES_ROOT first, under a key of the library's own, and put back). Trees
// that cannot be set aside are not touched. A path of MAX_PATH characters or more
// (ERROR_FILENAME_EXCED_RANGE: the shell's icon locations and rundll32 would cut it), or one
// that holds a character that would change what a command line or an icon location means (a
// quote, a comma, a percent sign: ERROR_BAD_PATHNAME), writes and deletes nothing.
HRESULT RenewNetworkExplorerKeysFor(const wchar_t* libraryPath);

// The removal that goes with it: both trees, and whatever a renewal that never finished left
// set aside. S_OK, or the HRESULT of the first error that stopped a deletion.
HRESULT UnregisterNetworkExplorerKeys();

} // namespace kx
