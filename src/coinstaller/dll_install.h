#pragma once

#include <windows.h>

// Registration without a co-installer, for an installer that places the library anywhere:
// "regsvr32 /n /i" writes both Network Explorer trees naming the library where it lies, and
// "regsvr32 /n /u /i" deletes them. S_OK or the failing HRESULT; a failed installation leaves
// neither tree behind. The text of /i:text is not used.
extern "C" HRESULT WINAPI DllInstall(BOOL install, PCWSTR commandLine);
