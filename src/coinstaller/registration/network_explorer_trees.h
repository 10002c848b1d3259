#pragma once

#include "coinstaller/registration/verb_registration.h"

#include <windows.h>

namespace kx {

// Deletes both Network Explorer trees, foreign subkeys included: ERROR_SUCCESS when both are
// gone, otherwise the first error that stopped a deletion (both are tried either way).
LONG RemoveNetworkExplorerKeys();

// The one renewal: both trees deleted and written afresh naming the library at location, as far
// as each step goes (a key that cannot be created is left out with what lies below it, the rest
// is still written). The answer is the first failure, an HRESULT; the co-installer ignores it,
// the registration below returns it. Values that would not fit touch nothing.
HRESULT RenewNetworkExplorerKeys(const LibraryLocation& location);

// The registration of a library that lies at libraryPath (a full path), all or nothing: the
// renewal, with both trees as they were before when it fails (SetTreesAside). Trees that cannot
// be set aside are not touched. A path of MAX_PATH characters or more (ERROR_FILENAME_EXCED_RANGE:
// the shell's icon locations and rundll32 would cut it), or one that holds a character that would
// change what a command line or an icon location means (a quote, a comma, a percent sign:
// ERROR_BAD_PATHNAME), writes and deletes nothing.
HRESULT RenewNetworkExplorerKeysFor(const wchar_t* libraryPath);

// The removal that goes with it: both trees, and whatever a registration that never finished
// left set aside. S_OK, or the HRESULT of the first error that stopped a deletion.
HRESULT UnregisterNetworkExplorerKeys();

} // namespace kx
