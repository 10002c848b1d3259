#pragma once

// How tests describe simulated devices to the stand-in UPnP device finder. The finder reads the
// current user's registry on every search, so a device configured by one process is found by
// every other process of the prefix (rundll32 included).
//
//   HKCU\Software\KxSim\UPnP\Devices\<UDN>
//       DescriptionUrl  REG_SZ  the URL that GetDocumentURL hands out
//       Behaviour       REG_SZ  one of the behaviour names below ("" or absent: normal)
//
// A UDN without a key is unknown to the finder: FindByUDN answers S_FALSE and no device, as
// the Windows finder does.

#include <windows.h>

namespace kxsim {

constexpr wchar_t UpnpDevicesKey[] = L"Software\\KxSim\\UPnP\\Devices";
constexpr wchar_t UpnpDescriptionUrlValue[] = L"DescriptionUrl";
constexpr wchar_t UpnpBehaviourValue[] = L"Behaviour";

// The device answers normally.
constexpr wchar_t BehaviourNormal[] = L"";
// The device does not offer IUPnPDeviceDocumentAccess.
constexpr wchar_t BehaviourNoDocumentAccess[] = L"no-document-access";
// GetDocumentURL fails and hands out no URL.
constexpr wchar_t BehaviourNoUrl[] = L"no-url";
// GetDocumentURL hands out the URL but reports a failure.
constexpr wchar_t BehaviourUrlWithError[] = L"url-with-error";
// FindByUDN fails without a device.
constexpr wchar_t BehaviourFindFails[] = L"find-fails";
// FindByUDN fails but still hands back a device, which the caller must release.
constexpr wchar_t BehaviourFindFailsWithDevice[] = L"find-fails-with-device";

// What the finder's DLL counts in the process that loaded it (export SimUpnpGetStatistics).
struct SimUpnpStatistics {
    LONG liveObjects; // finders and devices not yet released
    LONG findByUdnCalls;
    wchar_t lastUdn[1024]; // the last UDN asked for, cut to fit
    ULONG lastUdnLength; // its full length in characters
    BOOL lastUdnWasNull;
};

using SimUpnpGetStatisticsFunction = void(WINAPI*)(SimUpnpStatistics* statistics);

} // namespace kxsim
