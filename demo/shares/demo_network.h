#pragma once

// The demo's view of the simulated network: a host it may set up, and the drive letters that
// the stand-in mpr.dll has handed out.

#include <string>
#include <vector>

namespace kxdemo {

// Describes host with these shares, replacing what was there.
void ConfigureHost(const std::wstring& host, const std::vector<std::wstring>& shares);
void RemoveHost(const std::wstring& host);

// Letters in use in the drive table of this process ("ZY").
std::wstring LettersInUse();

// Whether this process runs the stand-in mpr.dll rather than Wine's own.
bool StandInMprLoaded();

} // namespace kxdemo
