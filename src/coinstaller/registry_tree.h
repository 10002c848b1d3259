#pragma once

#include "coinstaller/network_explorer_keys.h"

#include <windows.h>

namespace kx {

// Deletes the key at path below root with all its subkeys. True when the key is gone, deleted
// now or never there. A subkey that cannot be deleted ends the deletion: what was deleted
// before it stays deleted, the rest stays, and the answer is false. So does a subkey whose
// full path would not fit the path buffer. A null or empty path, or one that begins with a
// separator, deletes nothing and answers false: it could name root itself.
bool DeleteRegistryTree(HKEY root, const wchar_t* path);

// The recursive step: path holds the key's path below root and is extended in place for each
// subkey; on return it reads as on entry, less a trailing separator if it had one.
bool DeleteRegistrySubtree(HKEY root, RegistryPathBuffer& path);

} // namespace kx
