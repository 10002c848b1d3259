#pragma once

// How tests describe the simulated network to the stand-in mpr.dll. The stand-in reads the
// current user's registry on every call, so hosts and drive letters set up by one process are
// seen by every other process of the prefix (rundll32 included).
//
//   HKCU\Software\KxSim\Network\Hosts\<host>          (a host without a key does not answer)
//       Entries       REG_MULTI_SZ  what enumerating \\<host> reports, in this order:
//                                   "Music"           a disk share, remote name \\<host>\Music
//                                   "|<type>|<name>"  display type <type>, remote name <name> as is
//                                   "|<type>"         display type <type>, remote name NULL
//       BatchSize     REG_DWORD     at most this many entries per batch (absent or 0: all that fit)
//       OpenError     REG_DWORD     WNetOpenEnumW answers this error
//       FailingBatch  REG_DWORD     this call of WNetEnumResourceW (1 = the first) answers BatchError
//       BatchError    REG_DWORD
//       CloseError    REG_DWORD     WNetCloseEnum answers this error (and frees the handle anyway)
//   HKCU\Software\KxSim\Network\Hosts\<host>\Refusals
//       <share>       REG_DWORD     WNetUseConnectionW answers this error for \\<host>\<share>
//
//   HKCU\Software\KxSim\Network\Drives\<table>\<letter>   (a subkey per drive letter in use)
//       (default)     REG_SZ        the remote name the letter is connected to
//
// <table> is the environment variable KXSIM_MPR_DRIVES of the calling process ("Default" when
// unset), so parallel tests can each have a drive table of their own. Creating the letter's key
// is the claim: the registry makes sure two processes never get the same letter.
//
// Every call is appended as one UTF-8 line to the file that the environment variable
// KXSIM_MPR_LOG of the calling process names (no log when unset). Strings are logged as NULL
// or in double quotes, so a test can tell a null field from an empty one:
//   WNetOpenEnumW scope=2 type=1 usage=0 resource={scope=2 type=1 display=0 usage=2 local="" remote="\\h" comment="" provider=""} -> 0
//   WNetEnumResourceW count=0xFFFFFFFF size=9600 -> 0 count=3
//   WNetCloseEnum -> 0
//   WNetUseConnectionW owner=NULL resource={...} password=NULL user=NULL flags=0x80 access=buffer size=260 -> 0 access="Z:"

#include <windows.h>

namespace kxsim {

constexpr wchar_t NetworkHostsKey[] = L"Software\\KxSim\\Network\\Hosts";
constexpr wchar_t NetworkDrivesKey[] = L"Software\\KxSim\\Network\\Drives";
constexpr wchar_t NetworkRefusalsSubkey[] = L"Refusals";

constexpr wchar_t HostEntriesValue[] = L"Entries";
constexpr wchar_t HostBatchSizeValue[] = L"BatchSize";
constexpr wchar_t HostOpenErrorValue[] = L"OpenError";
constexpr wchar_t HostFailingBatchValue[] = L"FailingBatch";
constexpr wchar_t HostBatchErrorValue[] = L"BatchError";
constexpr wchar_t HostCloseErrorValue[] = L"CloseError";

constexpr wchar_t DriveTableVariable[] = L"KXSIM_MPR_DRIVES";
constexpr wchar_t DefaultDriveTable[] = L"Default";
constexpr wchar_t CallLogVariable[] = L"KXSIM_MPR_LOG";

// Marks an entry line that gives display type and remote name itself.
constexpr wchar_t EntryRawMarker = L'|';

// The provider name the stand-in reports for its entries.
constexpr wchar_t ProviderName[] = L"Microsoft Windows Network";

} // namespace kxsim
