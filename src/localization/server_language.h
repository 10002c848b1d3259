#pragma once

#include "common/share_name_list.h"
#include "localization/localized_text.h"

#include <windows.h>

namespace kx {

// The standard shares are documents, pictures, music, videos and recorded TV: one of each at most.
constexpr UINT StandardShareKinds = 5;

// What the last detection found, for the mount dialog that follows it: how many standard shares,
// and their positions in the share-name list in the order they were found.
extern UINT StandardShareCount;
extern UINT StandardSharePositions[StandardShareKinds];

// Picks the standard shares out of the first count names, whatever language they are named in,
// and records their positions in StandardSharePositions from index standardShareCount on,
// raising standardShareCount for each. Returns the language of the last name recognised, or -1
// when none was (and then changes nothing).
LanguageIndex GetServerLangIndex(const ShareNameSlot* shares, int count, UINT& standardShareCount);

} // namespace kx
