// A rundll32 entry that does nothing: what starting rundll32 and loading a small library costs
// on its own, for the benchmark to set the library's verbs against.
#include <windows.h>

extern "C" void CALLBACK EmptyEntry(HWND /*hwnd*/, HINSTANCE /*hinst*/, LPSTR /*commandLine*/, int /*show*/) {}
