#pragma once

#include <windows.h>

namespace kx {

// Both Network Explorer trees as they are, copied below HKEY_CLASSES_ROOT under a key of the
// library's own (outside NetworkExplorerPlugins, so that Network Explorer never shows it), for a
// registration that must leave them as it found them when it fails. A copy that a registration
// which never finished left behind goes first, so that nothing of it is ever put back. A tree
// that is not there is nothing to keep. The answer is the first failure; a failed copy is
// removed again.
LONG SetTreesAside(bool& keptAny);

// Deletes the trees, whatever a failed renewal left of them, and puts the copy in their place. A
// copy that cannot be put back stays: it holds the only record of the old trees.
LONG PutTreesBack(bool keptAny);

// The copy, once the new trees stand or the trees are to go.
LONG DiscardTreesSetAside();

} // namespace kx
