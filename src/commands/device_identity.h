#pragma once

#include "common/counted_string.h"

namespace kx {

// The device's UDN: the command line from its first "uuid:" to the end, converted from the ANSI
// code page. Returns false (and leaves udn alone) when the line holds no "uuid:"; raises
// HResultError when the conversion or an allocation fails.
bool ExtractDeviceUdn(const char* commandLine, CountedString& udn);

// Asks the UPnP device finder for the device with this UDN and puts the host name of its
// description URL into host. Returns false, leaving host as it was, when any step fails or the
// host is not a plausible host name. Initialises COM on the calling thread for the length of the
// call.
bool ResolveDeviceHost(const CountedString& udn, CountedString& host);

} // namespace kx
