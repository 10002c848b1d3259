#pragma once

#include "coinstaller/registration/network_explorer_keys.h"

#include <windows.h>

namespace kx {

// Deletes the key at path below root with all its subkeys. ERROR_SUCCESS when the key is gone,
// deleted now or never there; otherwise the first error that stopped the deletion. A subkey
// that cannot be deleted ends the deletion: what was deleted before it stays deleted and the
// rest stays. So does a subkey whose full path would not fit the path buffer
// (ERROR_FILENAME_EXCED_RANGE, as does a path that does not fit it itself: a cut path would
// name another key). A null or empty path, or one that begins with a separator, deletes nothing
// (ERROR_INVALID_PARAMETER): it could name root itself.
LONG DeleteRegistryTree(HKEY root, const wchar_t* path);

// The recursive step: path holds the key's path below root and is extended in place for each
// subkey; on return it reads as on entry, less a trailing separator if it had one.
LONG DeleteRegistrySubtree(HKEY root, RegistryPathBuffer& path);

} // namespace kx
