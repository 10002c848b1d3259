#pragma once

#include "common/share_name_list.h"

#include <windows.h>
#include <oleauto.h>

namespace kx {

// Stateless operations on the device that the verb handlers and the mount dialog share.
class CUtilities {
public:
    // Hands target (a UNC path or a URL) to the shell to open; returns the shell's answer.
    static BOOL LaunchExplorer(const wchar_t* target);

    // Stores the name of every disk share of deviceName (\\host) into shares, from slot *count
    // on, and raises *count by one per name. Answers 1 when the enumeration was opened and
    // closed again, 0 when opening or closing failed.
    static int GetDeviceShares(const wchar_t* deviceName, UINT* count, UINT capacity, ShareNameSlot* shares);

    // Maps \\bstrNas\bstrMountShare (\\bstrNas\Public without a share) to a drive letter that
    // the system picks, for this logon only and without prompting. The other four parameters
    // are traced; any of them given leaves the remote name empty.
    static HRESULT MountDevice(BSTR bstrNas, BSTR bstrShare, BSTR bstrDriveLetter, VARIANT_BOOL vbUpdateProfile,
                               BSTR* pbstrAccessName, BSTR bstrMountShare);
};

} // namespace kx
