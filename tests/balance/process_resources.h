#pragma once

#include <windows.h>

#include <string>

namespace kxtest {

// What this process holds at one moment, of the things a library call could fail to give back.
struct ProcessResources {
    DWORD handles;
    SIZE_T heapBytes; // busy blocks of every heap of the process
    DWORD gdiObjects;
    DWORD userObjects;
    DWORD windows; // of this process, children included
    LONG finderObjects; // COM objects of the simulated UPnP finder not yet released
    LONG openEnumerations; // enumerations the stand-in mpr.dll has open
    int heapSnapshot; // which recorded list of busy blocks belongs to this moment
};

ProcessResources TakeResources();

// How far "after" may lie above "before" without counting as a leak. Wine keeps a few caches
// of its own that calls can move by a little: the suites grant a margin where they name such a
// cache, everything else must come back exactly.
struct ResourceTolerance {
    DWORD handles = 0;
    SIZE_T heapBytes = 0;
};

// "" when after is back where before was (within tolerance), else what grew and by how much;
// for the heap, the blocks that are new (address, size, first bytes), to tell whose they are.
std::string ResourceGrowth(const ProcessResources& before, const ProcessResources& after,
                           const ResourceTolerance& tolerance);

} // namespace kxtest
