#pragma once

#include <windows.h>

namespace kx {

// Stateless operations on the device that the verb handlers and the mount dialog share.
class CUtilities {
public:
    // Hands target (a UNC path or a URL) to the shell to open; returns the shell's answer.
    static BOOL LaunchExplorer(const wchar_t* target);
};

} // namespace kx
