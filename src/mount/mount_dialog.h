#pragma once

#include "common/counted_string.h"
#include "common/share_name_list.h"

#include <windows.h>

namespace kx {

// Offers the standard shares that the last detection found among the count names of shares
// (StandardSharePositions) in the share-selection dialog, maps the ticked ones on host and
// returns once the dialog has closed. When another Mount dialog is open already, that one is
// brought to the front instead and ours never shows.
void RunMountDialog(const CountedString& host, const ShareNameSlot* shares, UINT count);

} // namespace kx
