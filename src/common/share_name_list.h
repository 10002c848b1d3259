#pragma once

#include <windows.h>

namespace kx {

// A share-name list is a caller-owned array of fixed slots; each slot holds one terminated
// name of at most ShareNameLength - 1 characters. A separate count says how many slots are
// filled; every slot from the count on is all zeros.
constexpr UINT ShareNameLength = 260;
using ShareNameSlot = wchar_t[ShareNameLength];

} // namespace kx
