#pragma once

namespace kx {

// Write the Network Explorer key trees afresh over whatever the keys hold; captions are taken
// in the current UI language. Failures are silent: a key that cannot be created is left out
// together with what lies below it.
void RegisterHardwareIdVerbs();
void RegisterDeviceTypeVerbs();

} // namespace kx
