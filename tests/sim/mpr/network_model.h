#pragma once

// The simulated network as the registry describes it (simulated_network_config.h).

#include <windows.h>

#include <string>
#include <vector>

namespace kxsim {

struct SimulatedEntry {
    DWORD displayType = RESOURCEDISPLAYTYPE_SHARE;
    bool remoteNameIsNull = false;
    std::wstring remoteName;
};

struct SimulatedHost {
    std::vector<SimulatedEntry> entries;
    DWORD batchSize = 0;
    DWORD openError = NO_ERROR;
    DWORD failingBatch = 0;
    DWORD batchError = NO_ERROR;
    DWORD closeError = NO_ERROR;
};

// The host's configuration; false when the host has no key (it does not answer).
bool ReadSimulatedHost(const std::wstring& host, SimulatedHost* configuration);

// The error configured for \\host\share, or NO_ERROR.
DWORD ReadRefusal(const std::wstring& host, const std::wstring& share);

// Claims letter ('C'..'Z') for remoteName in the caller's drive table; false when in use.
bool ClaimDriveLetter(wchar_t letter, const std::wstring& remoteName);

// Splits \\host\share; false for anything else.
bool SplitShareName(const wchar_t* remoteName, std::wstring* host, std::wstring* share);

} // namespace kxsim
